#include "hooks/hook_core.hpp"

#include <algorithm>
#include <cstdlib>

#include "daemon/agent_client.hpp"

namespace vardex::engine::HookCore {

std::string answerText(const nlohmann::json& answer) {
    return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

double deadlineSeconds(double agentWait, const std::optional<std::string>& shorter) {
    double seconds = std::min<double>(agentWait, longestWaitSeconds);
    if (shorter) {
        char* end = nullptr;
        const double asked = std::strtod(shorter->c_str(), &end);
        if (end != shorter->c_str() && *end == '\0' && asked > 0) seconds = std::min(seconds, asked);
    }
    return seconds;
}

HookVerdict decide(const HookAdapter& adapter, const nlohmann::json& input, const std::string& socketPath,
                   double waitSeconds, const CommandRewrite& rewrite) {
    auto actions = adapter.actionsFor(input);
    if (!actions) return HookVerdict::blocked("Vardex could not check this call, so it was blocked: " + actions.error());
    if (actions->empty()) return {true, "Vardex does not check this tool.", "Vardex does not check this tool.", {}};
    if (actions->size() > maxActionsPerCall) {
        return HookVerdict::blocked("This call does too many things at once for Vardex to check, so it was blocked; "
                                    "split it into smaller calls.");
    }
    HookVerdict verdict{true, {}, {}, {}};
    // Every part of the call must be allowed; the first one that is not decides.
    for (const auto& action : *actions) {
        auto decision = askDaemon(action, socketPath, waitSeconds);
        if (!decision) return HookVerdict::blocked(decision.error().description());
        if (decision->decision != Outcome::allow) return {false, decision->reasonUser, decision->reasonAgent, {}};
        if (verdict.forUser.empty()) {
            verdict.forUser = decision->reasonUser;
            verdict.forAgent = decision->reasonAgent;
        }
    }
    if (!rewrite) return verdict;
    for (const auto& action : *actions) {
        if (!std::holds_alternative<ShellAction>(action.kind)) continue;
        const auto route = rewrite(action);
        if (route.contained && adapter.withCommand != nullptr && actions->size() == 1) {
            verdict.updatedInput = adapter.withCommand(input, *route.contained);
        }
        if (!verdict.updatedInput && !route.mayRunUncontained) return HookVerdict::blocked(route.whyNot);
    }
    return verdict;
}

nlohmann::json run(const HookAdapter& adapter, const std::string& inputText, const std::string& socketPath,
                   double waitSeconds, const CommandRewrite& rewrite) {
    const auto input = nlohmann::json::parse(inputText, nullptr, false);
    return adapter.answer(decide(adapter, input, socketPath, waitSeconds, rewrite));
}

nlohmann::json tooLargeAnswer(const HookAdapter& adapter) {
    return adapter.answer(HookVerdict::blocked("This call is too large for Vardex to check, so it was blocked."));
}

nlohmann::json lateAnswer(const HookAdapter& adapter) {
    return adapter.answer(HookVerdict::blocked(
        "Vardex could not decide in time, so this call was blocked; ask the user before trying again."));
}

nlohmann::json failedAnswer(const HookAdapter& adapter, const std::string& why) {
    return adapter.answer(HookVerdict::blocked("Vardex could not check this call, so it was blocked: " + why));
}

std::string engineFailedLine(const HookAdapter& adapter) {
    // No apostrophes in these words: the line goes between single quotes in the hook command.
    return answerText(adapter.answer(HookVerdict::blocked(
        "Vardex did not answer, so this call was blocked; ask the user to turn Vardex on.")));
}

}  // namespace vardex::engine::HookCore
