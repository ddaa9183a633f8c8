#include "service/protection_error.hpp"

namespace vardex {

std::string ProtectionError::description() const {
    switch (kind_) {
        case Kind::launchctlFailed: return "Could not set Vardex to start at login.";
        case Kind::binaryMissing: return "Part of Vardex is missing. Please reinstall it from the download.";
        case Kind::daemonDidNotStart: return "Protection did not start. Try Turn on protection again.";
    }
    return {};
}

}  // namespace vardex
