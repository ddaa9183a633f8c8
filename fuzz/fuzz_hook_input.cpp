// Feeds arbitrary bytes to an agent's hook as its standard input (the first byte chooses the
// agent), with no daemon behind it. The hook must never crash or throw, must answer in the
// agent's own format, and with nobody to decide it may only let through a call it does not
// check at all.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "daemon/evaluate_message.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/hook_core.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto& hooks = vardex::engine::agentHooks();
    const auto& adapter = *hooks[data[0] % hooks.size()];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto output = vardex::engine::HookCore::run(adapter, text, "/nonexistent/vardex-fuzz.sock", 0.01);
    const auto decision = adapter.decisionIn(output);
    const auto actions = adapter.actionsFor(nlohmann::json::parse(text, nullptr, false));
    const bool unchecked = actions && actions->empty();
    if (decision != (unchecked ? vardex::Outcome::allow : vardex::Outcome::deny)) std::abort();
    if (actions) {
        for (const auto& action : *actions) (void)vardex::engine::encodeEvaluateLine(action);
    }
    (void)vardex::engine::HookCore::answerText(output);
    return 0;
}
