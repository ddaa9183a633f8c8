#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include <date/date.h>

#include "policy/text_file.hpp"
#include "store/vardex_store.hpp"

namespace vardex {

namespace {

constexpr std::size_t feedLimit = 50;

// NaN and infinities would come out of dump() as null: such a line is dropped instead.
bool carriesOnlyFiniteNumbers(const nlohmann::json& value) {
    if (value.is_number_float()) return std::isfinite(value.get<double>());
    if (value.is_structured()) {
        return std::all_of(value.begin(), value.end(), [](const nlohmann::json& item) { return carriesOnlyFiniteNumbers(item); });
    }
    return true;
}

std::string internetTimeUTC(TimePoint when) {
    return date::format("%FT%TZ", std::chrono::floor<std::chrono::seconds>(when));
}

// Appends to a file that already exists; false when it does not (or cannot be opened).
bool appendToExisting(const std::filesystem::path& file, std::string_view text) {
    int fd;
    do {
        fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return true;
}

}  // namespace

void VardexStore::insertFeed(const DecisionEvent& event) {
    const auto same = std::find_if(feed.begin(), feed.end(), [&](const DecisionEvent& old) {
        return old.session == event.session && old.actionSummary == event.actionSummary &&
               old.decision == event.decision && old.reasonUser == event.reasonUser;
    });
    if (same != feed.end()) feed.erase(same);
    feed.insert(feed.begin(), event);
    if (feed.size() > feedLimit) feed.resize(feedLimit);
    if (event.decision == Outcome::deny) noteDailyBlock();
    publish();
}

void VardexStore::logEvent(const std::string& event, const nlohmann::json& fields) {
    if (!fields.is_null() && !fields.is_object()) return;
    nlohmann::json line = nlohmann::json::object();
    line["ts"] = internetTimeUTC(ports_.queue.now());
    line["event"] = event;
    if (fields.is_object()) {
        for (const auto& [key, value] : fields.items()) line[key] = value;
    }
    if (!carriesOnlyFiniteNumbers(line)) return;
    std::string text;
    try {
        text = line.dump();
    } catch (const nlohmann::json::exception&) {
        return;  // text that is not UTF-8
    }
    text += '\n';
    if (!appendToExisting(logURL, text)) (void)writeTextFileAtomically(logURL, text);
}

// Not built yet: each operation below does nothing.

void VardexStore::refreshAuditFeed() {}
void VardexStore::mergeAuditIntoFeed(const std::vector<AuditLogEntry>&) {}
std::vector<AuditLogEntry> VardexStore::filteredAuditEntries() const { return {}; }
std::vector<AuditLogEntry> VardexStore::v3TodayEntries() const { return {}; }
long long VardexStore::todayStoppedCount() const { return {}; }
long long VardexStore::todayAskedCount() const { return {}; }
long long VardexStore::todayCheckedCount() const { return {}; }
std::optional<AuditLogEntry> VardexStore::blockedDetailEntry() const { return {}; }
void VardexStore::v3Delete(const std::vector<std::string>&) {}
void VardexStore::v3Undo() {}
std::optional<TimePoint> VardexStore::v3Since() { return {}; }
TimePoint VardexStore::firstRunAt() { return {}; }
void VardexStore::exportLog() {}
void VardexStore::writeExport(const std::filesystem::path&) {}

}  // namespace vardex
