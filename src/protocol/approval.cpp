#include "protocol/approval.hpp"

namespace vardex {
namespace {

std::string reasonForVerdict(ApprovalVerdict verdict) {
    switch (verdict) {
        case ApprovalVerdict::allowOnce: return "Allowed once by the user via Talvenor Vardex.";
        case ApprovalVerdict::allowSession:
            return "Allowed for this session by the user via Talvenor Vardex.";
        case ApprovalVerdict::alwaysAllow: return "Always allowed by the user via Talvenor Vardex.";
        case ApprovalVerdict::deny: return "Denied by the user via Talvenor Vardex; do not retry.";
    }
    return {};
}

}  // namespace

DecisionEvent DecisionEvent::fromApproval(const ApprovalRequest& request, ApprovalVerdict verdict) {
    DecisionEvent event;
    event.agent = request.agent.agent;
    event.session = request.agent.sessionId;
    event.ruleId = request.rule;
    if (request.rule) event.matchedRuleIds.push_back(*request.rule);
    event.decision = verdict == ApprovalVerdict::deny ? Outcome::deny : Outcome::allow;
    event.severity = request.severity;
    event.riskScore = request.risk;
    event.reasonUser = request.reasonUser;
    event.reasonAgent = reasonForVerdict(verdict);
    event.actionSummary = request.actionSummary;
    return event;
}

}  // namespace vardex
