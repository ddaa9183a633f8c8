// Feeds arbitrary bytes to the Claude Code hook as its standard input, with no daemon behind
// it. The hook must never crash or throw, and with nobody to decide it may only let through a
// tool it does not check at all.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "daemon/claude_hook.hpp"
#include "daemon/evaluate_message.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto output = vardex::engine::ClaudeHook::run(text, "/nonexistent/vardex-fuzz.sock", 0.01);
    const auto& decision = output["hookSpecificOutput"]["permissionDecision"];
    const auto action = vardex::engine::ClaudeHook::actionFor(nlohmann::json::parse(text, nullptr, false));
    const bool unchecked = action && !action->has_value();
    if (decision != (unchecked ? "allow" : "deny")) std::abort();
    if (action && action->has_value()) (void)vardex::engine::encodeEvaluateLine(**action);
    (void)output.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return 0;
}
