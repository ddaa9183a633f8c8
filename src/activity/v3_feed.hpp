#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "activity/audit_log_entry.hpp"
#include "activity/local_calendar.hpp"
#include "activity/timestamp.hpp"

// What the simple activity screen shows: the entries the user should see, today's, and
// repeated actions collapsed into one plain-language row each.
namespace vardex::V3Feed {

// Sessions the system runs for itself; matched lower-cased and exactly.
inline constexpr std::array<std::string_view, 7> internalSessions{
    "demo", "check", "capture", "cap", "canary", "selftest", "example"};

bool isInternalSession(std::string_view session);

std::optional<TimePoint> date(std::string_view ts);

// Keeps input order. With `since`, an entry whose time does not read is dropped.
std::vector<AuditLogEntry> visible(const std::vector<AuditLogEntry>& entries,
                                   std::optional<TimePoint> since,
                                   const std::set<std::string>& hidden);

// The entries of the local calendar day of `now`, in input order.
std::vector<AuditLogEntry> today(const std::vector<AuditLogEntry>& entries, TimePoint now,
                                 const LocalCalendar& calendar);

struct Group {
    AuditLogEntry latest;
    std::vector<std::string> ids;  // every member, in input order

    std::size_t count() const { return ids.size(); }
    std::string id() const { return latest.id(); }

    friend bool operator==(const Group&, const Group&) = default;
};

// Agent, decision, rule and summary; session and time play no part.
std::string groupingKey(const AuditLogEntry& entry);

// Groups in order of first appearance. `latest` is the member with the strictly latest
// time; a time that does not read counts as the distant past, and a tie keeps the earlier.
std::vector<Group> groups(const std::vector<AuditLogEntry>& entries);

// The second line of a row: "the file ~/x" or "the command “ls”", shortened past 60
// characters; empty for an empty summary.
std::string what(std::string_view summary);

}  // namespace vardex::V3Feed
