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
    // The person's answer ("allow_once", "deny", ...) when the decision was theirs to make; the
    // decision is then "ask".
    std::optional<std::string> verdict;
};

// The line for one decision on an action: now in UTC to the second, the agent and session
// from the action's context, the action without its context.
// A time as the log writes it: UTC to the second, e.g. 2026-12-06T09:15:02Z. Text order is time order.
std::string logTimestamp(std::chrono::system_clock::time_point at);

AuditRecord auditRecordFor(const Action& action, const Decision& decision, std::optional<std::string> approver,
                           std::chrono::system_clock::time_point now);

// Appends one hash-chained line under an exclusive file lock (daemon and `check` share the log)
// and moves the log's anchor to it. Returns the new line's hash. The line's "hash" is the SHA-256
// (lower-case hex) of the previous line's hash, a line feed, and the compact sorted-key JSON of
// the line without "hash" and "mac"; the first line's "prev_hash" is 64 zeros. "mac" seals the
// hash with the log's key. Creates the log's folder and key when needed.
//
// Durable in this order, so that a crash or a power cut at any point leaves a log that verifies:
// the line is flushed to the disk before the anchor moves; the anchor is replaced whole (a
// temporary file flushed, renamed, the folder flushed). A line left unfinished by a crash is cut
// off by the next append; a sealed line the anchor did not reach yet is taken in by it.
Result<std::string, std::string> appendAuditRecord(const std::filesystem::path& log, const AuditRecord& record);

// The "prev_hash" of the first line.
inline const std::string genesisHash(64, '0');

// SHA-256 of the bytes, as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

// The log's head as the engine last wrote it, kept apart from the log so that a log cut short,
// emptied, deleted or rewritten with a fresh chain is noticed: the number of entries and the
// hash of the last one, sealed with the log's key. Every append moves it, under the log's lock,
// as long as it still describes the log's last line; once it does not, it stays where it was,
// as evidence.
//
// The key is a random secret in a file of mode 0600 beside the log, made by the first append.
// Anyone who may read it may also seal a rewritten log, and `vardex log verify` run by the user
// reads it: what the seal keeps out is a rewrite by a process that cannot read the key, which is
// a coding agent in its sandbox, where the engine's files are out of sight. Without the seal,
// whatever can write the log's folder could rewrite the log, chain it afresh and write a
// matching anchor.
struct LogAnchor {
    std::size_t entries = 0;
    std::string hash;
    std::optional<std::string> mac;  // absent in anchors written before logs had keys
    friend bool operator==(const LogAnchor&, const LogAnchor&) = default;
};

// "audit.head.json" beside "audit.jsonl".
std::filesystem::path anchorPathFor(const std::filesystem::path& log);
// "audit.key" beside "audit.jsonl".
std::filesystem::path keyPathFor(const std::filesystem::path& log);

// HMAC-SHA256 of `message` under `key`, as 64 lower-case hex digits.
std::string hmacHex(std::string_view key, std::string_view message);

// How the log compares with its anchor.
enum class AnchorCheck {
    matches,     // the log ends where the anchor says
    fresh,       // neither log nor anchor: nothing was ever logged
    none,        // a log with no anchor: it cannot be told whether lines were removed
    unreadable,  // an anchor that is not one
    deleted,     // the anchor names entries, the log is gone
    emptied,     // the anchor names entries, the log has none
    cutShort,    // fewer entries than the anchor names
    rechained,   // as many entries or more, but another chain
    extended,    // the anchored chain with lines after it that the engine did not write
    forged,      // an anchor the log's key did not seal
    keyMissing,  // a sealed anchor, but the key is gone
    keyHidden,   // a sealed anchor, but this program may not read the key
};

// The outcome of recomputing the chain and comparing it with the anchor.
struct ChainReport {
    std::size_t entries = 0;              // lines checked
    std::optional<std::size_t> badLine;   // 1-based line number of the first line that does not match
    std::string problem;                  // what is wrong with it
    AnchorCheck anchor = AnchorCheck::fresh;
    std::size_t anchoredEntries = 0;
    bool unfinishedLastLine = false;      // a final line without its line feed, left by a crash
    std::string hashAtAsked;              // the hash of the entry asked for, when the log reaches it

    bool intact() const {
        return !badLine.has_value() && (anchor == AnchorCheck::matches || anchor == AnchorCheck::fresh);
    }
    // The sentence `log verify` prints.
    std::string message() const;
};

// Recomputes the chain of the whole log, under a shared lock so that no append is half seen,
// and compares its end with the anchor. A log that cannot be read is an error sentence.
// `hashAt` asks for the hash of that entry (1-based), as a receipt's head names it.
Result<ChainReport, std::string> verifyAuditLog(const std::filesystem::path& log,
                                                std::optional<std::size_t> hashAt = std::nullopt);

}  // namespace vardex::engine
