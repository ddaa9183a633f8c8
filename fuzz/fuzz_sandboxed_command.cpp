// Reads arbitrary bytes as a shell command an agent was allowed to run and rewrites it to run in
// the sandbox. The rewritten line must read back, by the shell grammar, as one command whose last
// word is the original text byte for byte; a text no shell word can carry (a NUL byte) must not
// be rewritten at all.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/shell_parser.hpp"
#include "sandbox/sandboxed_command.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vardex;
    const std::string_view command(reinterpret_cast<const char*>(data), size);
    const auto line = engine::sandboxedCommand("/usr/bin/va rdex", command);
    if (command.find('\0') != std::string_view::npos) {
        if (line) std::abort();
        return 0;
    }
    if (!line) std::abort();
    const auto tree = engine::parseShell(*line);
    const auto* parsed = std::get_if<ArgvTree::Command>(&tree.node);
    const std::vector<std::string> expected{"/usr/bin/va rdex", "sandbox", "--", "bash", "-c", std::string(command)};
    if (parsed == nullptr || parsed->argv != expected || !parsed->redirects.empty() || !parsed->substitutions.empty()) {
        std::abort();
    }
    return 0;
}
