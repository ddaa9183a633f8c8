#include "activity/audit_log_entry.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "text/unicode_text.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

using json = nlohmann::json;

const json* member(const json& object, const char* key) {
    auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> looseText(const json& object, const char* key) {
    const json* value = member(object, key);
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

}  // namespace

std::string AuditLogEntry::id() const {
    if (!hash.empty()) return hash;
    return ts + session + actionSummary;
}

DecisionEvent AuditLogEntry::asDecisionEvent() const {
    DecisionEvent event;
    event.agent = agent;
    event.session = session;
    event.ruleId = ruleId;
    event.decision = decision;
    event.severity = Severity::info;
    auto score = RiskScore::make(std::clamp(risk, RiskScore::min, RiskScore::max));
    event.riskScore = score ? *score : RiskScore();
    event.reasonUser = actionSummary;
    event.reasonAgent = approver ? "Logged (" + *approver + ")" : "Logged";
    if (ruleId) event.matchedRuleIds = {*ruleId};
    event.actionSummary = actionSummary;
    return event;
}

std::string AuditLogEntry::summarizeJSON(const json* value) {
    if (value == nullptr || !value->is_object()) return "action";
    const json& object = *value;
    auto raw = looseText(object, "raw");
    if (raw && !raw->empty()) return *raw;
    if (auto path = looseText(object, "path")) {
        auto kind = looseText(object, "kind");
        return (kind ? *kind : std::string("file")) + " " + *path;
    }
    if (auto url = looseText(object, "url")) return *url;
    if (auto host = looseText(object, "host")) return *host;
    auto server = looseText(object, "server");
    auto tool = looseText(object, "tool");
    if (server && tool) return "mcp " + *server + "." + *tool;
    if (auto kind = looseText(object, "kind")) return *kind;
    return "action";
}

std::optional<AuditLogEntry> AuditLogEntry::fromLoose(const json& object) {
    if (!object.is_object()) return std::nullopt;
    if (!object.contains("decision") && !object.contains("action")) return std::nullopt;

    AuditLogEntry entry;
    if (auto ts = looseText(object, "ts")) entry.ts = *ts;
    if (auto agent = looseText(object, "agent")) {
        entry.agent =
            parseWireText<AgentKind>(unicode::lowercased(*agent)).value_or(AgentKind::shim);
    }
    if (auto session = looseText(object, "session")) entry.session = *session;
    entry.actionSummary = summarizeJSON(member(object, "action"));
    if (auto decision = looseText(object, "decision")) {
        std::string lower = unicode::lowercased(*decision);
        entry.decision = lower == "allow" ? Outcome::allow
                         : lower == "ask" ? Outcome::ask
                                          : Outcome::deny;
    }
    entry.ruleId = looseText(object, "rule_id");
    if (const json* risk = member(object, "risk"); risk != nullptr && risk->is_number()) {
        entry.risk = risk->get<double>();
    }
    entry.approver = looseText(object, "approver");
    if (auto hash = looseText(object, "hash")) entry.hash = *hash;
    return entry;
}

std::optional<AuditLogEntry> AuditLogEntry::parse(std::string_view line) {
    std::string_view text = unicode::trimmed(line);
    if (text.empty()) return std::nullopt;
    json object = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!object.is_object()) return std::nullopt;
    return fromLoose(object);
}

std::size_t lineBreakLength(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    unsigned char c = static_cast<unsigned char>(text[at]);
    if (c == '\r') return byte(at + 1) == '\n' ? 2 : 1;
    if (c == '\n' || c == '\v' || c == '\f') return 1;
    if (c == 0xC2 && byte(at + 1) == 0x85) return 2;
    if (c == 0xE2 && byte(at + 1) == 0x80 && (byte(at + 2) == 0xA8 || byte(at + 2) == 0xA9)) {
        return 3;
    }
    return 0;
}

namespace {

class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    std::optional<off_t> size() const {
        struct stat info {};
        if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
        return info.st_size;
    }

    // Fills `out` from `offset`; false on any error or a file that shrank under us.
    bool readAt(off_t offset, char* out, std::size_t count) const {
        while (count > 0) {
            ssize_t got = ::pread(fd_, out, count, offset);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            count -= static_cast<std::size_t>(got);
            offset += got;
        }
        return true;
    }

private:
    int fd_;
};

// Most bytes are ordinary text; only these can begin a line break.
// The longest line break, in bytes (LS and PS).
constexpr std::size_t maxBreakLength = 3;

constexpr bool mayStartBreak(char c) {
    auto byte = static_cast<unsigned char>(c);
    return (byte >= '\n' && byte <= '\r') || byte == 0xC2 || byte == 0xE2;
}

// The log only grows, so only its end is read: blocks are taken backwards from the end, and
// the part before the first line break of what has been read so far is carried into the next
// block, because that line may begin further back. A break found in the bytes is always a
// real one (its lead bytes cannot occur inside another UTF-8 character), so a break or a
// character cut by a block boundary is whole again once the earlier block is joined on.
// Empty lines are dropped, so a CR LF cut in two reads the same as one break.

}  // namespace

std::vector<AuditLogEntry> AuditLogEntry::readRecent(const std::filesystem::path& file,
                                                     std::ptrdiff_t limit) {
    return readRecent(file, limit, defaultBlockSize);
}

std::vector<AuditLogEntry> AuditLogEntry::readRecent(const std::filesystem::path& file,
                                                     std::ptrdiff_t limit, std::size_t blockSize) {
    if (blockSize == 0) blockSize = defaultBlockSize;
    std::vector<AuditLogEntry> result;
    ReadOnlyFile input(file);
    auto fileSize = input.size();
    if (!fileSize) return {};

    off_t position = *fileSize;
    // The unfinished line carried from block to block, its front piece last. Kept in pieces
    // and never searched again, so a long line costs its length once, not once per block.
    std::vector<std::string> carried;
    std::size_t carriedSize = 0;
    std::string buffer;
    while (true) {
        auto chunk = static_cast<std::size_t>(
            std::min<off_t>(position, static_cast<off_t>(blockSize)));
        position -= static_cast<off_t>(chunk);
        std::string block(chunk, '\0');
        if (!input.readAt(position, block.data(), chunk)) return {};
        const bool atStart = position == 0;

        // Breaks are looked for in the new block only: the carried line holds none. The window
        // adds the carried bytes a break starting at the block's end may run into.
        std::string window = block;
        for (auto piece = carried.rbegin(); piece != carried.rend() && window.size() < chunk + maxBreakLength - 1;
             ++piece) {
            window.append(*piece, 0, chunk + maxBreakLength - 1 - window.size());
        }
        // Where each line starts and ends, front to back.
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        std::size_t lineStart = 0;
        std::size_t firstBreak = std::string::npos;
        for (std::size_t at = 0; at < chunk;) {
            std::size_t length =
                mayStartBreak(window[at]) ? lineBreakLength(window, at) : 0;
            if (length == 0) {
                ++at;
                continue;
            }
            if (firstBreak == std::string::npos) {
                firstBreak = at;
                if (atStart) lines.emplace_back(0, at);
            } else {
                lines.emplace_back(lineStart, at);
            }
            at += length;
            lineStart = at;
        }
        if (firstBreak == std::string::npos && !atStart) {
            // One long line so far: read further back.
            carriedSize += block.size();
            carried.push_back(std::move(block));
            continue;
        }
        buffer = std::move(block);
        buffer.reserve(chunk + carriedSize);
        for (auto piece = carried.rbegin(); piece != carried.rend(); ++piece) buffer += *piece;
        carried.clear();
        carriedSize = 0;
        if (firstBreak == std::string::npos) {
            lines.emplace_back(0, buffer.size());
        } else {
            lines.emplace_back(lineStart, buffer.size());
        }

        for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
            std::string_view text(buffer.data() + line->first, line->second - line->first);
            if (text.empty()) continue;
            // A log that is not UTF-8 cannot be trusted at all.
            if (!isValidUTF8(text)) return {};
            auto entry = parse(text);
            if (!entry) continue;
            result.push_back(std::move(*entry));
            if (static_cast<std::ptrdiff_t>(result.size()) == limit) return result;
        }
        if (atStart) return result;
        buffer.resize(firstBreak);
        carriedSize = buffer.size();
        carried.push_back(std::move(buffer));
    }
}

namespace json_form {
namespace {

const json* typedMember(const json& object, const char* key, bool (json::*isType)() const,
                        const char* expected, std::optional<DecodingError>& error) {
    const json* value = member(object, key);
    if (value == nullptr || error) return nullptr;
    if (!(value->*isType)()) {
        error = DecodingError::typeMismatch(key, expected, {key});
        return nullptr;
    }
    return value;
}

template <class E>
void readEnum(const json& object, const char* key, E& out, std::optional<DecodingError>& error) {
    const json* value = typedMember(object, key, &json::is_string, "text", error);
    if (value == nullptr) return;
    std::string text = value->get<std::string>();
    if (auto parsed = parseWireText<E>(text)) {
        out = *parsed;
    } else {
        error = DecodingError::corrupted(
            "unknown value \"" + text + "\" for member \"" + key + "\"", {key});
    }
}

}  // namespace

Result<AuditLogEntry, DecodingError> decodeAuditLogEntry(const json& object) {
    if (!object.is_object()) {
        return fail(DecodingError::typeMismatch("", "an object", {}));
    }
    AuditLogEntry entry;
    std::optional<DecodingError> error;
    auto text = [&](const char* key) -> std::optional<std::string> {
        const json* value = typedMember(object, key, &json::is_string, "text", error);
        if (value == nullptr) return std::nullopt;
        return value->get<std::string>();
    };
    if (auto ts = text("ts")) entry.ts = *ts;
    readEnum(object, "agent", entry.agent, error);
    if (auto session = text("session")) entry.session = *session;
    entry.actionSummary = AuditLogEntry::summarizeJSON(member(object, "action"));
    readEnum(object, "decision", entry.decision, error);
    entry.ruleId = text("rule_id");
    if (const json* risk = typedMember(object, "risk", &json::is_number, "a number", error)) {
        entry.risk = risk->get<double>();
    }
    entry.approver = text("approver");
    if (auto hash = text("hash")) entry.hash = *hash;
    if (error) return fail(std::move(*error));
    return entry;
}

std::string encodeAuditLogEntry(const AuditLogEntry& entry) {
    nlohmann::ordered_json out;
    out["ts"] = entry.ts;
    out["agent"] = wireText(entry.agent);
    out["session"] = entry.session;
    out["decision"] = wireText(entry.decision);
    if (entry.ruleId) out["rule_id"] = *entry.ruleId;
    out["risk"] = entry.risk;
    if (entry.approver) out["approver"] = *entry.approver;
    out["hash"] = entry.hash;
    out["action"] = entry.actionSummary;
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace json_form
}  // namespace vardex
