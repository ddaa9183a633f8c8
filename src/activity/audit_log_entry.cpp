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

std::optional<AuditLogEntry> AuditLogEntry::readLine(std::string_view line) {
    const std::string_view text = unicode::trimmed(line);
    if (text.empty()) return std::nullopt;
    json object = isValidUTF8(text) ? json::parse(text, nullptr, /*allow_exceptions=*/false) : json();
    if (object.is_object()) return fromLoose(object);
    AuditLogEntry damaged;
    damaged.actionSummary = std::string(text);
    damaged.unreadable = std::string(text);
    return damaged;
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

// The log only grows, so only its end is read: blocks are taken backwards from the end, and
// the part before the first line feed of what has been read so far is carried into the next
// block, because that line may begin further back. A line feed byte never occurs inside another
// UTF-8 character, so a character cut by a block boundary is whole again once the earlier block
// is joined on.

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

        // Line feeds are looked for in the new block only: the carried line holds none.
        // Where each line starts and ends, front to back.
        std::vector<std::pair<std::size_t, std::size_t>> lines;
        std::size_t lineStart = 0;
        const std::size_t firstBreak = block.find('\n');
        if (firstBreak != std::string::npos && atStart) lines.emplace_back(0, firstBreak);
        for (std::size_t at = firstBreak; at != std::string::npos;) {
            lineStart = at + 1;
            at = block.find('\n', lineStart);
            if (at != std::string::npos) lines.emplace_back(lineStart, at);
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
            auto entry = readLine(std::string_view(buffer.data() + line->first, line->second - line->first));
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
