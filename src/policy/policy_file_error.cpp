#include "policy/policy_file_error.hpp"

namespace vardex {

std::string PolicyFileError::description() const {
    switch (kind_) {
        case Kind::readFailed: return "Could not read " + path_ + ": " + reason_;
        case Kind::notUTF8: return "The file " + path_ + " is not UTF-8 text.";
        case Kind::writeFailed: return "Could not write " + path_ + ": " + reason_;
    }
    return {};
}

}  // namespace vardex
