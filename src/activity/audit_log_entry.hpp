#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/agent_context.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"
#include "protocol/decoding_error.hpp"
#include "protocol/json_value.hpp"

namespace vardex {

// One line of the engine's activity log. The app only reads this file; the engine writes
// it and keeps its hash chain.
struct AuditLogEntry {
    std::string ts;
    AgentKind agent = AgentKind::shim;
    std::string session;
    std::string actionSummary = "action";
    Outcome decision = Outcome::deny;
    std::optional<std::string> ruleId;
    double risk = 0.0;  // as written, not clamped
    std::optional<std::string> approver;
    std::string hash;
    // The line as written, when it could not be read: shown and exported as damaged rather than
    // left out, since a line nobody can read is still something that happened.
    std::optional<std::string> unreadable;

    // The hash, or time + session + summary for a line without one. Lists of entries are
    // keyed by it everywhere.
    std::string id() const;

    DecisionEvent asDecisionEvent() const;

    // One log line, or nothing when it is not a JSON object with "decision" or "action".
    static std::optional<AuditLogEntry> parse(std::string_view line);

    // One line of the log as the list shows it: nothing for a blank line or a record of another
    // kind (a JSON object with neither "decision" nor "action"), a damaged entry for a line that
    // is not UTF-8 or not a JSON object.
    static std::optional<AuditLogEntry> readLine(std::string_view line);

    // Reads each known member on its own; a missing or mistyped one takes its default.
    static std::optional<AuditLogEntry> fromLoose(const nlohmann::json& object);

    // The one-line summary of an engine action; `value` may be null.
    static std::string summarizeJSON(const nlohmann::json* value);

    // The last `limit` entries of the file (`readLine`), newest first; a zero or negative limit
    // gives every entry. A file that cannot be read gives an empty list. Lines end at line feeds
    // only, as the engine writes them: a U+2028 in a logged command is part of its line. Reads
    // the file backwards from its end only as far as it must.
    static std::vector<AuditLogEntry> readRecent(const std::filesystem::path& file,
                                                 std::ptrdiff_t limit);
    // The same with a chosen block size, so tests can put block edges anywhere.
    static std::vector<AuditLogEntry> readRecent(const std::filesystem::path& file,
                                                 std::ptrdiff_t limit, std::size_t blockSize);
    static constexpr std::size_t defaultBlockSize = 64 * 1024;

    friend bool operator==(const AuditLogEntry&, const AuditLogEntry&) = default;
};

// The typed form, for fixtures and tools: the same keys, but a present member of the wrong
// type or an unknown agent or decision is an error.
namespace json_form {

Result<AuditLogEntry, DecodingError> decodeAuditLogEntry(const nlohmann::json& object);

// Compact, with the keys in the log's own order; "action" holds the summary text.
std::string encodeAuditLogEntry(const AuditLogEntry& entry);

}  // namespace json_form

}  // namespace vardex
