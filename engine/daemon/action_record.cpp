#include "daemon/action_record.hpp"

#include <variant>

#include "daemon/question_text.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {

nlohmann::json actionWithoutContext(const Action& action) {
    nlohmann::json object = json_form::toJson(action);
    object.erase("context");
    return object;
}

std::string exactActionKey(const Action& action) {
    return actionWithoutContext(action).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string summarizeAction(const Action& action) {
    struct Summary {
        std::string operator()(const ShellAction& a) const { return a.raw.empty() ? "shell" : a.raw; }
        std::string operator()(const FileReadAction& a) const { return "file_read " + a.path; }
        std::string operator()(const FileWriteAction& a) const { return "file_write " + a.path; }
        std::string operator()(const FileDeleteAction& a) const { return "file_delete " + a.path; }
        std::string operator()(const NetworkAction& a) const {
            if (a.url) return *a.url;
            if (a.host) return *a.host;
            return "network";
        }
        std::string operator()(const McpToolCallAction& a) const { return "mcp " + a.server + "." + a.tool; }
    };
    return std::visit(Summary{}, action.kind);
}

DecisionEvent decisionEvent(const Action& action, const Decision& decision) {
    DecisionEvent event;
    event.agent = action.context.agent;
    event.session = shownText(action.context.sessionId);
    if (decision.ruleId) event.ruleId = shownText(*decision.ruleId);
    event.decision = decision.outcome;
    event.severity = decision.severity;
    event.riskScore = decision.riskScore;
    event.reasonUser = shownText(decision.reasonUser);
    event.reasonAgent = shownText(decision.reasonAgent);
    for (const auto& rule : decision.matchedRuleIds) event.matchedRuleIds.push_back(shownText(rule));
    event.actionSummary = shownText(summarizeAction(action));
    return event;
}

ApprovalRequest approvalRequest(std::string id, const Action& action, const Decision& decision) {
    ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = shownText(questionText(action));
    if (decision.ruleId) request.rule = shownText(*decision.ruleId);
    request.severity = decision.severity;
    request.risk = decision.riskScore;
    request.reasonUser = shownText(decision.reasonUser);
    request.agent = action.context;
    request.agent.sessionId = shownText(request.agent.sessionId);
    request.agent.cwd = shownText(request.agent.cwd);
    return request;
}

}  // namespace vardex::engine
