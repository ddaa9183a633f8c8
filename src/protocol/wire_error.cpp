#include "protocol/wire_error.hpp"

namespace vardex {

std::string WireError::description() const {
    return std::visit([](const auto& e) -> std::string { return e.description(); }, error_);
}

}  // namespace vardex
