#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/agent_context.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// One decision as the activity log keeps it; "prev_hash" and "hash" are added on append.
struct AuditRecord {
    std::string ts;  // ISO 8601 UTC, e.g. 2026-12-06T09:15:02Z
    AgentKind agent = AgentKind::shim;
    std::string session;
    nlohmann::json action;  // the action object without its context
    Outcome decision = Outcome::allow;
    std::optional<std::string> ruleId;
    double risk = 0.0;
    std::optional<std::string> approver;  // "menubar", "timeout", "no_ui", ...
};

// Appends one hash-chained line under an exclusive file lock (daemon and `check` share the log).
// Returns the new line's hash.
Result<std::string, std::string> appendAuditRecord(const std::filesystem::path& log, const AuditRecord& record);

}  // namespace vardex::engine
