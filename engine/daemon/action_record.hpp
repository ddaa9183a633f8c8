#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/action.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// The action as the activity log keeps it: its JSON form without the agent context.
nlohmann::json actionWithoutContext(const Action& action);

// Names one exact action, whoever asks: the compact, key-sorted JSON of the action without its
// context. Two actions with the same key are the same thing to do.
std::string exactActionKey(const Action& action);

// The one-line summary people see: the command line, "file_read PATH", the URL or host,
// "mcp SERVER.TOOL".
std::string summarizeAction(const Action& action);

// The decision as it is reported to agents and UIs.
DecisionEvent decisionEvent(const Action& action, const Decision& decision);

// The question put to the UIs about an action the engine wants a person to decide; its summary
// is the question's text, with an MCP tool's arguments.
ApprovalRequest approvalRequest(std::string id, const Action& action, const Decision& decision);

}  // namespace vardex::engine
