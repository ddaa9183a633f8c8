#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/agent_context.hpp"
#include "protocol/decision.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

enum class ApprovalVerdict { allowOnce, allowSession, alwaysAllow, deny };

template <>
struct WireNames<ApprovalVerdict> {
    static constexpr std::array<std::pair<ApprovalVerdict, std::string_view>, 4> table{{
        {ApprovalVerdict::allowOnce, "allow_once"},
        {ApprovalVerdict::allowSession, "allow_session"},
        {ApprovalVerdict::alwaysAllow, "always_allow"},
        {ApprovalVerdict::deny, "deny"},
    }};
};

constexpr bool isAllowed(ApprovalVerdict verdict) { return verdict != ApprovalVerdict::deny; }

// One simple command of a shell line as the engine read it, so a person can see which part of a
// long line made the engine ask and what that part does.
struct CommandPart {
    std::string text;                // the command as the engine understood it, quoted for the shell
    bool piped = false;              // its input is the output of the part before it
    bool flagged = false;            // this part made the engine ask
    std::vector<std::string> notes;  // what it does, in plain words ("reads ~/.aws/credentials")

    friend bool operator==(const CommandPart&, const CommandPart&) = default;
};

// A question from the engine.
struct ApprovalRequest {
    std::string id;
    std::string actionSummary;
    std::optional<std::string> rule;  // id of the rule that asked
    Severity severity = Severity::info;
    RiskScore risk;
    std::string reasonUser;
    AgentContext agent;
    // The shell line split into its commands; empty for other actions and from engines that do
    // not send it.
    std::vector<CommandPart> breakdown;

    // A critical question is never offered "always allow".
    bool offersAlwaysAllow() const { return severity != Severity::critical; }

    friend bool operator==(const ApprovalRequest&, const ApprovalRequest&) = default;
};

// An answer to a question.
struct ApprovalResponse {
    std::string id;
    ApprovalVerdict verdict = ApprovalVerdict::deny;
    std::string by;  // who answered

    friend bool operator==(const ApprovalResponse&, const ApprovalResponse&) = default;
};

// A decision the engine reports, or one derived from a verdict given in the app.
struct DecisionEvent {
    AgentKind agent = AgentKind::claude;
    std::string session;
    std::optional<std::string> ruleId;
    Outcome decision = Outcome::allow;
    Severity severity = Severity::info;
    RiskScore riskScore;
    std::string reasonUser;
    std::string reasonAgent;
    std::vector<std::string> matchedRuleIds;
    std::optional<std::string> actionSummary;

    // The feed entry for a verdict the user gave on a request.
    static DecisionEvent fromApproval(const ApprovalRequest& request, ApprovalVerdict verdict);

    friend bool operator==(const DecisionEvent&, const DecisionEvent&) = default;
};

}  // namespace vardex
