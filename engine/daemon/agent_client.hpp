#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"

namespace vardex::engine {

// Why an agent could not get a decision; `description` is the sentence shown to the person.
struct AgentClientError {
    std::string message;
    const std::string& description() const { return message; }
};

// Asks the daemon at `socketPath` to decide `action` and waits for the decision. A question
// put to the user can take as long as the policy's ask time-out, so `waitSeconds` should be
// longer than that.
Result<DecisionEvent, AgentClientError> askDaemon(const Action& action, const std::string& socketPath,
                                                  double waitSeconds);

// The programs a daemon may run for the engine's own clients to believe it: this program, and
// the engine configured for this account.
std::vector<std::filesystem::path> trustedDaemons();

// How long an agent waits for the daemon: the policy's ask time-out and a margin.
double agentWaitSeconds();

}  // namespace vardex::engine
