#include "agents/agent_config_error.hpp"

namespace vardex::engine {

std::string AgentConfigError::description() const {
    switch (kind_) {
        case Kind::readFailed: return "Could not read " + path_ + ": " + detail_;
        case Kind::malformed: return path_ + " " + detail_ + ", so Vardex left it unchanged.";
        case Kind::writeFailed: return "Could not write " + path_ + ": " + detail_;
    }
    return {};
}

}  // namespace vardex::engine
