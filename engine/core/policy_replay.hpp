#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/engine_policy.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// One action the activity log recorded, as the replay needs it.
struct LoggedAction {
    std::string ts;
    std::string agent;
    nlohmann::json action;  // the action object as logged, without its context
    Outcome logged = Outcome::allow;
};

// An action the candidate policy decides otherwise than the policy in force.
struct ReplayDifference {
    LoggedAction entry;
    Decision before;
    Decision after;
};

struct ReplayReport {
    std::size_t checked = 0;     // log entries within the period
    std::size_t unreadable = 0;  // entries whose action could not be read back
    std::vector<ReplayDifference> differences;  // oldest first, at most `limit`
    std::size_t moreDifferences = 0;             // those beyond the limit
};

// Decides every logged action under both policies. Identical actions are decided once each, so
// a long log of repeated commands costs little.
ReplayReport replayActions(const std::vector<LoggedAction>& entries, const EnginePolicy& inForce,
                           const EnginePolicy& candidate, std::size_t limit = 200);

// The log lines at or after `since` (a timestamp as the log writes them), oldest first. Lines
// that are not entries are skipped.
std::vector<LoggedAction> readLoggedActions(std::istream& log, std::string_view since);

}  // namespace vardex::engine
