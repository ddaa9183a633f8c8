#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>

#include <date/date.h>

#include "activity/v3_feed.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"

namespace vardex {

namespace {

constexpr std::size_t feedLimit = 50;
constexpr Seconds undoWindow{6.0};

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

std::string exportLine(const AuditLogEntry& entry) {
    // A damaged line goes out as it was written: it is evidence, not something to re-encode.
    if (entry.unreadable) return *entry.unreadable;
    const nlohmann::json line{
        {"ts", entry.ts},
        {"agent", wireText(entry.agent)},
        {"decision", wireText(entry.decision)},
        {"action", entry.actionSummary},
        {"rule_id", entry.ruleId ? nlohmann::json(*entry.ruleId) : nlohmann::json(nullptr)},
        {"hash", entry.hash},
    };
    try {
        return line.dump();
    } catch (const nlohmann::json::exception&) {
        // Text that is not UTF-8 cannot be escaped; the summary still goes out as it is.
        return "{\"action\":\"" + entry.actionSummary + "\"}";
    }
}

void storeHiddenEntries(Preferences& preferences, const std::set<std::string>& hidden) {
    preferences.setValue("v3HiddenEntries", std::vector<std::string>(hidden.begin(), hidden.end()));
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

void VardexStore::refreshAuditFeed() {
    auditEntries = AuditLogEntry::readRecent(VardexPaths::auditLogURL(), static_cast<std::ptrdiff_t>(feedLimit));
    auditHead = auditHeadTally_.advance(VardexPaths::auditLogURL());
    exampleData = false;
    mergeAuditIntoFeed(auditEntries);
}

void VardexStore::mergeAuditIntoFeed(const std::vector<AuditLogEntry>& entries) {
    // Oldest first, so the log's order is kept below the live events.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->unreadable) continue;
        const DecisionEvent event = entry->asDecisionEvent();
        const bool known = std::any_of(feed.begin(), feed.end(), [&](const DecisionEvent& old) {
            return old.session == event.session && old.actionSummary == event.actionSummary && old.decision == event.decision;
        });
        if (!known) feed.push_back(event);
    }
    if (feed.size() > feedLimit) feed.resize(feedLimit);
    publish({StoreSlice::activity});
}

std::vector<AuditLogEntry> VardexStore::filteredAuditEntries() const {
    const std::string search = unicode::lowercased(unicode::trimmed(logSearch));
    std::vector<AuditLogEntry> kept;
    for (const auto& entry : auditEntries) {
        // A damaged line names no agent or decision for certain, so no filter hides it.
        if (!entry.unreadable && logAgentFilter && *logAgentFilter != entry.agent) continue;
        if (!entry.unreadable && logDecisionFilter && *logDecisionFilter != entry.decision) continue;
        if (entry.session == "demo") continue;
        if (!search.empty()) {
            std::string haystack = entry.actionSummary;
            haystack += ' ';
            haystack += entry.ruleId.value_or("");
            haystack += ' ';
            haystack += wireText(entry.agent);
            haystack += ' ';
            haystack += wireText(entry.decision);
            if (unicode::lowercased(haystack).find(search) == std::string::npos) continue;
        }
        kept.push_back(entry);
    }
    return kept;
}

std::vector<AuditLogEntry> VardexStore::v3TodayEntries() const {
    // The store is one object on the main thread, never made const; the first-run date is
    // recorded on first use whichever view asks first.
    const auto since = const_cast<VardexStore*>(this)->v3Since();
    return V3Feed::today(V3Feed::visible(filteredAuditEntries(), since, hiddenEntryIds), now, options_.calendar);
}

long long VardexStore::todayStoppedCount() const {
    const auto entries = v3TodayEntries();
    return std::count_if(entries.begin(), entries.end(), [](const AuditLogEntry& entry) { return entry.decision == Outcome::deny; });
}

// Every "today" count takes the local day of the entry's time, not the date its text starts
// with, so all of them agree with the blocked count on one card.
long long VardexStore::todayAskedCount() const {
    const auto today = V3Feed::today(auditEntries, now, options_.calendar);
    return std::count_if(today.begin(), today.end(), [](const AuditLogEntry& entry) { return entry.decision == Outcome::ask; });
}

long long VardexStore::todayCheckedCount() const {
    return static_cast<long long>(V3Feed::today(auditEntries, now, options_.calendar).size());
}

std::optional<AuditLogEntry> VardexStore::blockedDetailEntry() const {
    if (!blockedDetailId) return std::nullopt;
    const auto found = std::find_if(auditEntries.begin(), auditEntries.end(),
                                    [&](const AuditLogEntry& entry) { return entry.id() == *blockedDetailId; });
    if (found == auditEntries.end()) return std::nullopt;
    return *found;
}

void VardexStore::v3Delete(const std::vector<std::string>& ids) {
    if (ids.empty()) return;
    hiddenEntryIds.insert(ids.begin(), ids.end());
    storeHiddenEntries(ports_.preferences, hiddenEntryIds);
    if (blockedDetailId && hiddenEntryIds.contains(*blockedDetailId)) blockedDetailId.reset();
    v3UndoIds = ids;
    // A later deletion replaces the undo list, so only its own timer still matches and clears it.
    postAfter(undoWindow, [ids](VardexStore& store) {
        if (store.v3UndoIds != ids) return;
        store.v3UndoIds.clear();
        store.publish();
    });
    publish();
}

void VardexStore::v3Undo() {
    for (const auto& id : v3UndoIds) hiddenEntryIds.erase(id);
    storeHiddenEntries(ports_.preferences, hiddenEntryIds);
    v3UndoIds.clear();
    publish();
}

std::optional<TimePoint> VardexStore::v3Since() {
    if (exampleData || VardexPaths::env("VARDEX_V2_EXAMPLE") == std::optional<std::string>("1")) return std::nullopt;
    return firstRunAt();
}

TimePoint VardexStore::firstRunAt() {
    if (firstRunAt_) return *firstRunAt_;
    if (const auto stored = ports_.preferences.value("v3FirstRunAt")) {
        if (const auto* when = std::get_if<TimePoint>(&*stored)) firstRunAt_ = *when;
    }
    if (!firstRunAt_) {
        firstRunAt_ = ports_.queue.now();
        ports_.preferences.setValue("v3FirstRunAt", *firstRunAt_);
    }
    return *firstRunAt_;
}

void VardexStore::exportLog() {
    if (const auto file = VardexPaths::env("VARDEX_EXPORT_FILE")) {
        writeExport(*file);
        return;
    }
    const auto chosen = ports_.windows.chooseSaveLocation({"vardex-log.jsonl", {"json", "text"}, true});
    if (!chosen || chosen->empty()) return;
    writeExport(*chosen);
}

void VardexStore::writeExport(const std::filesystem::path& file) {
    const auto entries = filteredAuditEntries();
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) text += '\n';
        text += exportLine(entries[i]);
    }
    if (const auto written = writeTextFileAtomically(file, text); !written) {
        lastMessage = "Could not export the activity list. " + written.error().description();
    } else {
        lastMessage = UIStrings::exportedLines(static_cast<long long>(entries.size()));
    }
    publish();
}

}  // namespace vardex
