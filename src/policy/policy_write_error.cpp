#include "policy/policy_write_error.hpp"

namespace vardex {

std::string PolicyWriteError::description() const {
    return message_.empty() ? "Could not save your safety rules." : message_;
}

}  // namespace vardex
