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
    event.session = action.context.sessionId;
    event.ruleId = decision.ruleId;
    event.decision = decision.outcome;
    event.severity = decision.severity;
    event.riskScore = decision.riskScore;
    event.reasonUser = decision.reasonUser;
    event.reasonAgent = decision.reasonAgent;
    event.matchedRuleIds = decision.matchedRuleIds;
    event.actionSummary = summarizeAction(action);
    return event;
}

ApprovalRequest approvalRequest(std::string id, const Action& action, const Decision& decision) {
    ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = questionText(action);
    request.rule = decision.ruleId;
    request.severity = decision.severity;
    request.risk = decision.riskScore;
    request.reasonUser = decision.reasonUser;
    request.agent = action.context;
    return request;
}

}  // namespace vardex::engine
