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
#include <openssl/hmac.h>
#include <sys/random.h>

#include "bridge/vardex_paths.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

std::string lowerHex(const unsigned char* bytes, std::size_t count) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0xf];
    }
    return out;
}

std::string errnoText(const std::filesystem::path& log, const char* what) {
    return std::string("Could not ") + what + " the activity log " + log.string() + ": " + std::strerror(errno) + ".";
}

// The canonical text a line is hashed and written in: compact, keys sorted (nlohmann keeps
// object keys in order), bad UTF-8 replaced so that writing never fails.
std::string canonical(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// Over the line without its "hash" and "mac", which are made from it.
std::string chainHash(const std::string& previous, nlohmann::json line) {
    line.erase("hash");
    line.erase("mac");
    return sha256Hex(previous + "\n" + canonical(line));
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

// The end of the file's last whole line (just past its line feed; 0 when there is none) and that
// line without its line feed. Whatever follows that end is a line a crash left unfinished.
struct Tail {
    off_t wholeSize = 0;
    off_t fileSize = 0;
    std::string lastLine;
};

bool readTail(int fd, Tail& tail) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    tail = Tail{0, static_cast<off_t>(info.st_size), {}};
    std::string text;  // the file's last bytes, read backwards a block at a time
    off_t start = tail.fileSize;
    constexpr off_t block = 4096;
    std::optional<std::size_t> lastFeed;  // in `text`
    while (start > 0) {
        const off_t from = start > block ? start - block : 0;
        std::string chunk(static_cast<std::size_t>(start - from), '\0');
        if (::pread(fd, chunk.data(), chunk.size(), from) != static_cast<ssize_t>(chunk.size())) return false;
        text.insert(0, chunk);
        const std::size_t added = chunk.size();
        start = from;
        if (lastFeed) {
            *lastFeed += added;
        } else if (auto feed = text.rfind('\n'); feed != std::string::npos) {
            lastFeed = feed;
        }
        // The whole line ends at the last feed; it starts after the feed before it.
        if (lastFeed && (*lastFeed == 0 || text.rfind('\n', *lastFeed - 1) != std::string::npos)) break;
    }
    if (!lastFeed) return true;
    tail.wholeSize = start + static_cast<off_t>(*lastFeed) + 1;
    const auto before = *lastFeed == 0 ? std::string::npos : text.rfind('\n', *lastFeed - 1);
    const std::size_t lineStart = before == std::string::npos ? 0 : before + 1;
    tail.lastLine = text.substr(lineStart, *lastFeed - lineStart);
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

// fdatasync: the data and the size that makes it readable; nothing else of the inode matters here.
bool writeAllAndFlush(int fd, std::string_view bytes) { return writeAll(fd, bytes) && ::fdatasync(fd) == 0; }

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

std::string anchorMessage(std::size_t entries, const std::string& hash) { return std::to_string(entries) + "\n" + hash; }

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
        if (tree.contains("mac") && tree["mac"].is_string()) anchor.mac = tree["mac"].get<std::string>();
    }
    if (anchor.hash.size() != genesisHash.size() || anchor.entries == 0) return LogAnchor{};
    return anchor;
}

// Replaced whole: a temporary file (one name, since writers take turns under the log's lock)
// flushed, renamed over the anchor, and the folder flushed so the rename itself survives.
Result<void, std::string> writeAnchor(const std::filesystem::path& file, const LogAnchor& anchor) {
    nlohmann::json tree{{"entries", anchor.entries}, {"hash", anchor.hash}, {"version", anchor.mac ? 2 : 1}};
    if (anchor.mac) tree["mac"] = *anchor.mac;
    const std::string text = tree.dump() + "\n";
    const std::string temporary = file.string() + ".tmp";
    const auto failed = [](int cause) {
        return fail(std::string("Could not keep the head of the activity log: ") + std::strerror(cause) + ".");
    };
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return failed(errno);
    const bool written = writeAllAndFlush(fd, text);
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int cause = written ? errno : error;
        ::unlink(temporary.c_str());
        return failed(cause);
    }
    syncFolder(file.parent_path());
    return {};
}

// The log's key, when it can be read.
enum class KeyAccess { present, missing, hidden };
struct LogKey {
    KeyAccess access = KeyAccess::missing;
    std::string secret;
};

LogKey readKey(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return {errno == ENOENT ? KeyAccess::missing : KeyAccess::hidden, {}};
    std::string secret(128, '\0');
    const ssize_t got = ::read(fd, secret.data(), secret.size());
    ::close(fd);
    if (got <= 0) return {KeyAccess::hidden, {}};
    secret.resize(static_cast<std::size_t>(got));
    while (!secret.empty() && secret.back() == '\n') secret.pop_back();
    if (secret.size() < 32) return {KeyAccess::hidden, {}};
    return {KeyAccess::present, secret};
}

// Made once, as a whole file linked into place, so two writers that both find none agree on the
// first one made.
Result<void, std::string> makeKey(const std::filesystem::path& file) {
    unsigned char random[32];
    std::size_t filled = 0;
    while (filled < sizeof random) {
        const ssize_t got = ::getrandom(random + filled, sizeof random - filled, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return fail(std::string("Could not make the activity log's key: ") + std::strerror(errno) + ".");
        filled += static_cast<std::size_t>(got);
    }
    const std::string text = lowerHex(random, sizeof random) + "\n";
    std::string temporary = file.string() + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return fail(std::string("Could not make the activity log's key: ") + std::strerror(errno) + ".");
    const bool written = ::fchmod(fd, 0600) == 0 && writeAllAndFlush(fd, text);
    ::close(fd);
    const bool linked = written && (::link(temporary.c_str(), file.c_str()) == 0 || errno == EEXIST);
    ::unlink(temporary.c_str());
    if (!linked) return fail(std::string("Could not make the activity log's key: ") + std::strerror(errno) + ".");
    syncFolder(file.parent_path());
    return {};
}

std::optional<std::string> macOf(const nlohmann::json& line) {
    if (!line.contains("mac") || !line["mac"].is_string()) return std::nullopt;
    return line["mac"].get<std::string>();
}

bool sealedLine(const LogKey& key, const nlohmann::json& line) {
    if (key.access != KeyAccess::present || !line.contains("hash") || !line["hash"].is_string()) return false;
    return macOf(line) == hmacHex(key.secret, line["hash"].get<std::string>());
}

bool sealedAnchor(const LogKey& key, const LogAnchor& anchor) {
    return key.access == KeyAccess::present && anchor.mac == hmacHex(key.secret, anchorMessage(anchor.entries, anchor.hash));
}

}  // namespace

std::filesystem::path anchorPathFor(const std::filesystem::path& log) {
    return log.parent_path() / (log.stem().string() + ".head.json");
}

std::filesystem::path keyPathFor(const std::filesystem::path& log) { return log.parent_path() / (log.stem().string() + ".key"); }

std::string hmacHex(std::string_view key, std::string_view message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), digest, &length);
    return lowerHex(digest, length);
}

std::string logTimestamp(std::chrono::system_clock::time_point at) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc));
}

AuditRecord auditRecordFor(const Action& action, const Decision& decision, std::optional<std::string> approver,
                           std::chrono::system_clock::time_point now) {
    AuditRecord record;
    record.ts = logTimestamp(now);
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
    return lowerHex(digest, length);
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
    Tail tail;
    if (!readTail(file.fd(), tail)) return fail(errnoText(log, "read"));
    // A line a crash left unfinished was never anchored nor answered for: it goes, so the chain
    // goes on from the last whole line.
    if (tail.fileSize != tail.wholeSize && ::ftruncate(file.fd(), tail.wholeSize) != 0) {
        return fail(errnoText(log, "repair"));
    }

    const auto keyFile = keyPathFor(log);
    LogKey key = readKey(keyFile);
    const bool keyIsNew = key.access == KeyAccess::missing;
    // Without a key (none can be made here) lines and anchor go unsealed, as before logs had keys:
    // the decision is still recorded.
    if (keyIsNew && makeKey(keyFile)) key = readKey(keyFile);

    nlohmann::json line = nlohmann::json::object();
    line["ts"] = record.ts;
    line["agent"] = std::string(wireText(record.agent));
    line["session"] = record.session;
    line["action"] = record.action;
    line["decision"] = std::string(wireText(record.decision));
    if (record.ruleId) line["rule_id"] = *record.ruleId;
    line["risk"] = std::isfinite(record.risk) ? record.risk : 0.0;
    if (record.approver) line["approver"] = *record.approver;
    if (record.verdict) line["verdict"] = *record.verdict;
    const std::string previous = previousHash(tail.lastLine);
    line["prev_hash"] = previous;
    const auto hash = chainHash(previous, line);
    line["hash"] = hash;
    if (key.access == KeyAccess::present) line["mac"] = hmacHex(key.secret, hash);

    // The line is on the disk before the anchor names it: an anchor never runs ahead of its log.
    if (!writeAllAndFlush(file.fd(), canonical(line) + "\n")) return fail(errnoText(log, "write to"));

    // Still under the lock: the anchor follows the log only while it describes the log's end,
    // or the sealed line just before it that a crash kept it from reaching.
    const auto anchorFile = anchorPathFor(log);
    const auto anchor = readAnchor(anchorFile);
    // An anchor from before logs had keys is taken once, as the key is made.
    const bool trusted = anchor && !anchor->hash.empty() &&
                         (sealedAnchor(key, *anchor) || (!anchor->mac && keyIsNew));
    std::optional<LogAnchor> moved;
    if (!anchor && tail.lastLine.empty()) moved = LogAnchor{1, hash, std::nullopt};
    if (trusted && anchor->hash == previous) moved = LogAnchor{anchor->entries + 1, hash, std::nullopt};
    if (trusted && !moved) {
        const auto last = nlohmann::json::parse(tail.lastLine, nullptr, false);
        if (last.is_object() && sealedLine(key, last) && last.value("prev_hash", "") == anchor->hash) {
            moved = LogAnchor{anchor->entries + 2, hash, std::nullopt};
        }
    }
    if (moved) {
        if (key.access == KeyAccess::present) moved->mac = hmacHex(key.secret, anchorMessage(moved->entries, moved->hash));
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
    case AnchorCheck::forged:
        return "The activity log's record of where it ended was not written by Vardex: it may have been rewritten.";
    case AnchorCheck::keyMissing:
        return "The activity log cannot be fully checked: the key that seals the record of where it ended is gone.";
    case AnchorCheck::keyHidden:
        return "The activity log cannot be fully checked: this program may not read the key that seals it.";
    case AnchorCheck::fresh: return "The activity log is empty; nothing to check.";
    case AnchorCheck::matches: break;
    }
    return "The activity log is intact: " + now + " checked." +
           (unfinishedLastLine ? " Its last line was left unfinished when Vardex stopped; it is not counted." : "");
}

Result<ChainReport, std::string> verifyAuditLog(const std::filesystem::path& log, std::optional<std::size_t> hashAt) {
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
    const LogKey key = readKey(keyPathFor(log));
    if (anchor) report.anchoredEntries = anchor->entries;

    std::string previous = genesisHash;
    std::string atAnchor;      // the hash of the entry the anchor counts to
    bool unsealedBeyond = false;  // a line after the anchored ones that the key did not seal
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
            // Only the last line can lack its line feed: an append a crash cut short.
            if (in.eof()) {
                report.unfinishedLastLine = true;
                break;
            }
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
            if (chainHash(previous, line) != hash) return bad("was edited");
            previous = hash;
            ++report.entries;
            if (anchor && report.entries == anchor->entries) atAnchor = hash;
            if (hashAt && report.entries == *hashAt) report.hashAtAsked = hash;
            if (anchor && report.entries > anchor->entries && !sealedLine(key, line)) unsealedBeyond = true;
        }
        if (in.bad()) return fail("Could not read the activity log " + log.string() + ".");
    }

    if (!anchor) {
        report.anchor = report.entries == 0 ? AnchorCheck::fresh : AnchorCheck::none;
    } else if (anchor->hash.empty()) {
        report.anchor = AnchorCheck::unreadable;
    } else if (anchor->mac && key.access == KeyAccess::missing) {
        report.anchor = AnchorCheck::keyMissing;
    } else if (key.access == KeyAccess::hidden) {
        report.anchor = AnchorCheck::keyHidden;
    } else if (key.access == KeyAccess::present && !sealedAnchor(key, *anchor)) {
        // Once a log has a key, an anchor without its seal is one somebody else wrote.
        report.anchor = AnchorCheck::forged;
    } else if (!exists) {
        report.anchor = AnchorCheck::deleted;
    } else if (report.entries == 0) {
        report.anchor = AnchorCheck::emptied;
    } else if (report.entries < anchor->entries) {
        report.anchor = AnchorCheck::cutShort;
    } else if (atAnchor != anchor->hash) {
        report.anchor = AnchorCheck::rechained;
    } else {
        // Sealed lines past the anchor are the engine's own, written before a crash let the
        // anchor follow them.
        report.anchor = unsealedBeyond ? AnchorCheck::extended : AnchorCheck::matches;
    }
    return report;
}

}  // namespace vardex::engine
