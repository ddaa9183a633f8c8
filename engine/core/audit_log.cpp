#include "core/audit_log.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include <openssl/evp.h>

#include "bridge/vardex_paths.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

std::string errnoText(const std::filesystem::path& log, const char* what) {
    return std::string("Could not ") + what + " the activity log " + log.string() + ": " + std::strerror(errno) + ".";
}

// The canonical text a line is hashed and written in: compact, keys sorted (nlohmann keeps
// object keys in order), bad UTF-8 replaced so that writing never fails.
std::string canonical(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string chainHash(const std::string& previous, const nlohmann::json& withoutHash) {
    return sha256Hex(previous + "\n" + canonical(withoutHash));
}

// Closes the descriptor (and with it the lock) on every way out.
class LockedFile {
public:
    explicit LockedFile(int fd) : fd_(fd) {}
    ~LockedFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// The last line of the file (without its line feed) and whether the file ends in one.
bool readTail(int fd, std::string& lastLine, bool& endsWithNewline) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    auto end = static_cast<off_t>(info.st_size);
    endsWithNewline = true;
    lastLine.clear();
    if (end == 0) return true;
    std::string tail;
    constexpr off_t block = 4096;
    while (end > 0) {
        const off_t start = end > block ? end - block : 0;
        std::string chunk(static_cast<std::size_t>(end - start), '\0');
        if (::pread(fd, chunk.data(), chunk.size(), start) != static_cast<ssize_t>(chunk.size())) return false;
        tail.insert(0, chunk);
        end = start;
        // The last line is complete once a line feed precedes its content.
        auto content = tail.find_last_not_of('\n');
        if (content != std::string::npos && tail.rfind('\n', content) != std::string::npos) break;
    }
    endsWithNewline = tail.back() == '\n';
    const auto content = tail.find_last_not_of('\n');
    if (content == std::string::npos) return true;
    const auto newline = tail.rfind('\n', content);
    lastLine = tail.substr(newline == std::string::npos ? 0 : newline + 1, content - (newline == std::string::npos ? 0 : newline + 1) + 1);
    return true;
}

std::string previousHash(const std::string& lastLine) {
    if (lastLine.empty()) return genesisHash;
    const auto parsed = nlohmann::json::parse(lastLine, nullptr, false);
    if (parsed.is_object() && parsed.contains("hash") && parsed["hash"].is_string()) {
        return parsed["hash"].get<std::string>();
    }
    // A damaged last line still links the chain, by its own bytes, so nothing is forked silently.
    return sha256Hex(lastLine);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

AuditRecord auditRecordFor(const Action& action, const Decision& decision, std::optional<std::string> approver,
                           std::chrono::system_clock::time_point now) {
    AuditRecord record;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    record.ts = std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc));
    record.agent = action.context.agent;
    record.session = action.context.sessionId;
    record.action = json_form::toJson(action);
    record.action.erase("context");
    record.decision = decision.outcome;
    record.ruleId = decision.ruleId;
    record.risk = decision.riskScore.value();
    record.approver = std::move(approver);
    return record;
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 0xf];
    }
    return out;
}

Result<std::string, std::string> appendAuditRecord(const std::filesystem::path& log, const AuditRecord& record) {
    if (log.has_parent_path()) {
        if (auto made = VardexPaths::ensureDirectory(log.parent_path()); !made) return fail(made.error().description());
    }
    LockedFile file(::open(log.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (file.fd() < 0) return fail(errnoText(log, "open"));
    while (::flock(file.fd(), LOCK_EX) != 0) {
        if (errno != EINTR) return fail(errnoText(log, "lock"));
    }
    std::string lastLine;
    bool endsWithNewline = true;
    if (!readTail(file.fd(), lastLine, endsWithNewline)) return fail(errnoText(log, "read"));

    nlohmann::json line = nlohmann::json::object();
    line["ts"] = record.ts;
    line["agent"] = std::string(wireText(record.agent));
    line["session"] = record.session;
    line["action"] = record.action;
    line["decision"] = std::string(wireText(record.decision));
    if (record.ruleId) line["rule_id"] = *record.ruleId;
    line["risk"] = std::isfinite(record.risk) ? record.risk : 0.0;
    if (record.approver) line["approver"] = *record.approver;
    line["prev_hash"] = previousHash(lastLine);
    const auto hash = chainHash(line["prev_hash"].get<std::string>(), line);
    line["hash"] = hash;

    // A line cut short by a crash is closed off first, so the new line stands on its own.
    std::string text = endsWithNewline ? std::string() : std::string("\n");
    text += canonical(line);
    text += '\n';
    if (!writeAll(file.fd(), text)) return fail(errnoText(log, "write to"));
    return hash;
}

std::string ChainReport::message() const {
    if (badLine) {
        return "The activity log has been changed: line " + std::to_string(*badLine) + " " + problem + ".";
    }
    if (entries == 0) return "The activity log is empty; nothing to check.";
    return "The activity log is intact: " + std::to_string(entries) + (entries == 1 ? " entry" : " entries") +
           " checked.";
}

Result<ChainReport, std::string> verifyAuditLog(const std::filesystem::path& log) {
    ChainReport report;
    std::error_code missing;
    if (!std::filesystem::exists(log, missing)) return report;
    std::ifstream in(log, std::ios::binary);
    if (!in) return fail("Could not read the activity log " + log.string() + ".");
    std::string previous = genesisHash;
    std::string text;
    std::size_t number = 0;
    const auto bad = [&](std::string problem) {
        report.badLine = number;
        report.problem = std::move(problem);
        return report;
    };
    while (std::getline(in, text)) {
        ++number;
        if (text.empty()) return bad("is empty");
        auto line = nlohmann::json::parse(text, nullptr, false);
        if (!line.is_object()) return bad("is not a log entry");
        if (!line.contains("hash") || !line["hash"].is_string() || !line.contains("prev_hash") ||
            !line["prev_hash"].is_string()) {
            return bad("has no hash");
        }
        const auto hash = line["hash"].get<std::string>();
        if (line["prev_hash"].get<std::string>() != previous) {
            return bad(number == 1 ? "does not start the log: lines before it were removed"
                                   : "does not follow the line before it");
        }
        if (canonical(line) != text) return bad("was edited");
        line.erase("hash");
        if (chainHash(previous, line) != hash) return bad("was edited");
        previous = hash;
        ++report.entries;
    }
    if (in.bad()) return fail("Could not read the activity log " + log.string() + ".");
    return report;
}

}  // namespace vardex::engine
