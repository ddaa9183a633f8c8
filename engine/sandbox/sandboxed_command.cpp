#include "sandbox/sandboxed_command.hpp"

#include "core/shell_quote.hpp"

namespace vardex::engine {

std::optional<std::string> sandboxedCommand(const std::filesystem::path& vardex, std::string_view command) {
    if (command.find('\0') != std::string_view::npos) return std::nullopt;
    return shellQuoted(vardex.string()) + " sandbox -- bash -c " + shellQuoted(command);
}

}  // namespace vardex::engine
