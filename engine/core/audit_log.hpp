#pragma once

#include <filesystem>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"
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

// The line for one decision on an action: now in UTC to the second, the agent and session
// from the action's context, the action without its context.
AuditRecord auditRecordFor(const Action& action, const Decision& decision, std::optional<std::string> approver,
                           std::chrono::system_clock::time_point now);

// Appends one hash-chained line under an exclusive file lock (daemon and `check` share the log).
// Returns the new line's hash. The line's "hash" is the SHA-256 (lower-case hex) of the
// previous line's hash, a line feed, and the compact sorted-key JSON of the line without
// "hash"; the first line's "prev_hash" is 64 zeros. Creates the log's folder when needed.
Result<std::string, std::string> appendAuditRecord(const std::filesystem::path& log, const AuditRecord& record);

// The "prev_hash" of the first line.
inline const std::string genesisHash(64, '0');

// SHA-256 of the bytes, as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

// The outcome of recomputing the chain.
struct ChainReport {
    std::size_t entries = 0;              // lines checked
    std::optional<std::size_t> badLine;   // 1-based line number of the first line that does not match
    std::string problem;                  // what is wrong with it

    bool intact() const { return !badLine.has_value(); }
    // The sentence `log verify` prints.
    std::string message() const;
};

// Recomputes the chain of the whole log. A missing log is an intact, empty one; a log that
// cannot be read is an error sentence.
Result<ChainReport, std::string> verifyAuditLog(const std::filesystem::path& log);

}  // namespace vardex::engine
