#include "core/audit_log.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
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

// The anchor file; absent when there is none, an empty hash when there is one that does not
// read as an anchor.
std::optional<LogAnchor> readAnchor(const std::filesystem::path& file) {
    std::error_code code;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, code))) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto tree = nlohmann::json::parse(text, nullptr, false);
    LogAnchor anchor;
    if (tree.is_object() && tree.value("entries", nlohmann::json()).is_number_unsigned() &&
        tree.value("hash", nlohmann::json()).is_string()) {
        anchor.entries = tree["entries"].get<std::size_t>();
        anchor.hash = tree["hash"].get<std::string>();
    }
    if (anchor.hash.size() != genesisHash.size() || anchor.entries == 0) return LogAnchor{};
    return anchor;
}

// Replaced whole through a temporary file and a rename, like every file the engine owns, but
// without waiting for the disk: the log line it follows is not flushed either, and a flush
// here would cost every decision several milliseconds.
Result<void, std::string> writeAnchor(const std::filesystem::path& file, const LogAnchor& anchor) {
    const nlohmann::json tree{{"entries", anchor.entries}, {"hash", anchor.hash}, {"version", 1}};
    const std::string text = tree.dump() + "\n";
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail(std::string("Could not keep the head of the activity log: ") + std::strerror(errno) + ".");
    const bool written = writeAll(fd, text) && ::fchmod(fd, 0600) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int cause = written ? errno : error;
        ::unlink(temporary.c_str());
        return fail(std::string("Could not keep the head of the activity log: ") + std::strerror(cause) + ".");
    }
    return {};
}

}  // namespace

std::filesystem::path anchorPathFor(const std::filesystem::path& log) {
    return log.parent_path() / (log.stem().string() + ".head.json");
}

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

    // Still under the lock: the anchor follows the log only while it describes the log's end.
    const auto anchorFile = anchorPathFor(log);
    const auto anchor = readAnchor(anchorFile);
    const std::string previous = line["prev_hash"].get<std::string>();
    std::optional<LogAnchor> moved;
    if (!anchor && lastLine.empty()) moved = LogAnchor{1, hash};
    if (anchor && !anchor->hash.empty() && anchor->hash == previous) moved = LogAnchor{anchor->entries + 1, hash};
    if (moved) {
        if (auto kept = writeAnchor(anchorFile, *moved); !kept) return fail(kept.error());
    }
    return hash;
}

std::string ChainReport::message() const {
    if (badLine) {
        return "The activity log has been changed: line " + std::to_string(*badLine) + " " + problem + ".";
    }
    const std::string was = std::to_string(anchoredEntries) + (anchoredEntries == 1 ? " entry" : " entries");
    const std::string now = std::to_string(entries) + (entries == 1 ? " entry" : " entries");
    switch (anchor) {
    case AnchorCheck::deleted: return "The activity log has been deleted: it had " + was + ".";
    case AnchorCheck::emptied: return "The activity log has been emptied: it had " + was + ".";
    case AnchorCheck::cutShort:
        return "The activity log has been cut short: it had " + was + ", " + now + " are left.";
    case AnchorCheck::rechained:
        return "The activity log has been rewritten: its " + now + " chain together, but not to the " + was +
               " Vardex wrote.";
    case AnchorCheck::extended:
        return "The activity log has lines Vardex did not write: " + now + " where Vardex wrote " + was + ".";
    case AnchorCheck::none:
        return "The activity log cannot be fully checked: its " + now +
               " chain together, but there is no record of where it ended, so lines removed from its end would "
               "not show.";
    case AnchorCheck::unreadable:
        return "The activity log cannot be fully checked: the record of where it ended is damaged.";
    case AnchorCheck::fresh: return "The activity log is empty; nothing to check.";
    case AnchorCheck::matches: break;
    }
    return "The activity log is intact: " + now + " checked.";
}

Result<ChainReport, std::string> verifyAuditLog(const std::filesystem::path& log) {
    ChainReport report;
    std::error_code missing;
    const bool exists = std::filesystem::exists(log, missing);
    // The shared lock keeps an append (and the anchor move that follows it) out while both
    // are read.
    LockedFile locked(exists ? ::open(log.c_str(), O_RDONLY | O_CLOEXEC) : -1);
    if (exists && locked.fd() < 0) return fail("Could not read the activity log " + log.string() + ".");
    while (exists && ::flock(locked.fd(), LOCK_SH) != 0) {
        if (errno != EINTR) return fail(errnoText(log, "lock"));
    }
    const auto anchor = readAnchor(anchorPathFor(log));
    if (anchor) report.anchoredEntries = anchor->entries;

    std::string previous = genesisHash;
    std::string atAnchor;  // the hash of the entry the anchor counts to
    if (exists) {
        std::ifstream in(log, std::ios::binary);
        if (!in) return fail("Could not read the activity log " + log.string() + ".");
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
            if (anchor && report.entries == anchor->entries) atAnchor = hash;
        }
        if (in.bad()) return fail("Could not read the activity log " + log.string() + ".");
    }

    if (!anchor) {
        report.anchor = report.entries == 0 ? AnchorCheck::fresh : AnchorCheck::none;
    } else if (anchor->hash.empty()) {
        report.anchor = AnchorCheck::unreadable;
    } else if (!exists) {
        report.anchor = AnchorCheck::deleted;
    } else if (report.entries == 0) {
        report.anchor = AnchorCheck::emptied;
    } else if (report.entries < anchor->entries) {
        report.anchor = AnchorCheck::cutShort;
    } else if (atAnchor != anchor->hash) {
        report.anchor = AnchorCheck::rechained;
    } else {
        report.anchor = report.entries == anchor->entries ? AnchorCheck::matches : AnchorCheck::extended;
    }
    return report;
}

}  // namespace vardex::engine
