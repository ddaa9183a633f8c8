#include "core/evaluator.hpp"

#include <algorithm>
#include <system_error>

#include "core/action_facts.hpp"

namespace vardex::engine {
namespace {

int strictness(Outcome outcome) {
    switch (outcome) {
        case Outcome::allow: return 0;
        case Outcome::ask: return 1;
        case Outcome::deny: return 2;
    }
    return 2;
}

RiskScore risk(double value) {
    auto made = RiskScore::make(std::clamp(value, 0.0, 1.0));
    return made ? made.value() : RiskScore{};
}

Decision stopped() {
    Decision decision;
    decision.outcome = Outcome::deny;
    decision.ruleId = std::string(stopRuleId);
    decision.matchedRuleIds = {std::string(stopRuleId)};
    decision.severity = Severity::critical;
    decision.reasonUser = "Every AI app is stopped. New actions are blocked until you resume them in Vardex.";
    decision.reasonAgent = "The user has stopped all AI agents. Do not retry; wait until the user resumes you.";
    decision.riskScore = risk(1.0);
    return decision;
}

}  // namespace

Decision evaluate(const Action& action, const EnginePolicy& policy) {
    std::error_code ignored;
    if (!policy.stopFlag.empty() && std::filesystem::exists(policy.stopFlag, ignored)) return stopped();

    const auto facts = factsOf(action, policy.home);
    const Rule* deciding = nullptr;
    Outcome outcome = Outcome::allow;
    Decision decision;
    double highest = 0.0;
    for (const auto& rule : policy.rules) {
        if (!rule.matches || !rule.matches(facts)) continue;
        decision.matchedRuleIds.push_back(rule.id);
        highest = std::max(highest, severityRisk(rule.severity));
        const auto own = rule.decides ? rule.decides(facts) : rule.decision;
        if (!deciding || strictness(own) > strictness(outcome)) {
            deciding = &rule;
            outcome = own;
        }
    }
    decision.riskScore = risk(highest);
    if (!deciding) {
        decision.outcome = policy.unmatched;
        decision.severity = Severity::info;
        decision.reasonUser = "No safety rule matched this action.";
        decision.reasonAgent = decision.outcome == Outcome::allow ? "Allowed." : "Not allowed by the policy's default.";
        return decision;
    }
    decision.outcome = outcome;
    // A risky action that only allow rules matched is still put to the user.
    if (decision.outcome == Outcome::allow && highest >= policy.askThreshold) decision.outcome = Outcome::ask;
    decision.ruleId = deciding->id;
    decision.severity = deciding->severity;
    decision.reasonUser = deciding->reasonUser;
    switch (decision.outcome) {
        case Outcome::deny:
            decision.reasonAgent = "Blocked by Vardex (" + deciding->id + "). " + deciding->reasonAgent;
            break;
        case Outcome::ask:
            decision.reasonAgent = "Vardex is asking the user about this (" + deciding->id +
                                   "). If it is refused, do not retry it another way. " + deciding->reasonAgent;
            break;
        case Outcome::allow: decision.reasonAgent = "Allowed."; break;
    }
    return decision;
}

}  // namespace vardex::engine
