#include "activity/v3_feed.hpp"

#include <algorithm>
#include <unordered_map>

#include "text/unicode_text.hpp"

namespace vardex::V3Feed {

bool isInternalSession(std::string_view session) {
    std::string lower = unicode::lowercased(session);
    return std::find(internalSessions.begin(), internalSessions.end(), lower) !=
           internalSessions.end();
}

std::optional<TimePoint> date(std::string_view ts) { return readTimestamp(ts); }

std::vector<AuditLogEntry> visible(const std::vector<AuditLogEntry>& entries,
                                   std::optional<TimePoint> since,
                                   const std::set<std::string>& hidden) {
    std::vector<AuditLogEntry> out;
    for (const auto& entry : entries) {
        if (hidden.count(entry.id()) != 0 || isInternalSession(entry.session)) continue;
        if (since) {
            auto when = date(entry.ts);
            if (!when || *when < *since) continue;
        }
        out.push_back(entry);
    }
    return out;
}

std::vector<AuditLogEntry> today(const std::vector<AuditLogEntry>& entries, TimePoint now,
                                 const LocalCalendar& calendar) {
    std::vector<AuditLogEntry> out;
    for (const auto& entry : entries) {
        auto when = date(entry.ts);
        if (when && calendar.isSameDay(*when, now)) out.push_back(entry);
    }
    return out;
}

std::string groupingKey(const AuditLogEntry& entry) {
    std::string key(wireText(entry.agent));
    key += '|';
    key += wireText(entry.decision);
    key += '|';
    key += entry.ruleId.value_or("");
    key += '|';
    key += entry.actionSummary;
    return key;
}

std::vector<Group> groups(const std::vector<AuditLogEntry>& entries) {
    std::vector<Group> out;
    std::unordered_map<std::string, std::size_t> positions;
    for (const auto& entry : entries) {
        auto [found, inserted] = positions.try_emplace(groupingKey(entry), out.size());
        if (inserted) {
            out.push_back(Group{entry, {entry.id()}});
            continue;
        }
        Group& group = out[found->second];
        group.ids.push_back(entry.id());
        auto distantPast = TimePoint::min();
        if (date(entry.ts).value_or(distantPast) > date(group.latest.ts).value_or(distantPast)) {
            group.latest = entry;
        }
    }
    return out;
}

std::string what(std::string_view summary) {
    std::string_view text = unicode::trimmed(summary);
    if (text.empty()) return {};
    std::string shown(text);
    if (unicode::characterCount(text) >= 61) {
        shown = std::string(unicode::firstCharacters(text, 57)) + "\u2026";
    }
    if (text.front() == '/' || text.front() == '~') return "the file " + shown;
    return "the command \u201C" + shown + "\u201D";
}

}  // namespace vardex::V3Feed
