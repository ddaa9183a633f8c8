#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "activity/local_calendar.hpp"
#include "activity/timestamp.hpp"

namespace vardex {

// The user's quiet hours and the day the "something was blocked" notice was last shown.
struct NoticePolicy {
    bool quietHoursEnabled = false;
    int quietStartMinutes = 1320;  // 22:00
    int quietEndMinutes = 480;     // 08:00, exclusive
    std::string lastDailyBlockDay;

    bool inQuietHours(TimePoint now, const LocalCalendar& calendar) const;
    // Questions are announced even in quiet hours.
    bool shouldNotifyAsk() const { return true; }
    // At most once per local day, and never in quiet hours.
    bool shouldNotifyDailyBlock(TimePoint now, const LocalCalendar& calendar) const;
    void markDailyBlock(TimePoint now, const LocalCalendar& calendar);

    // The local date as year-month-day ("2025-03-01"); also the key of the day counts.
    static std::string dayStamp(TimePoint when, const LocalCalendar& calendar);
    // "7" is 07:00, "25:75" is 23:59, text without digits is 00:00.
    static int parseClock(std::string_view text);
    static std::string formatClock(int minutes);

    // The four policy keys of the settings file; a missing or mistyped key takes its default.
    static NoticePolicy fromSettings(const nlohmann::json& settings);
    // Sets the four keys and leaves every other key of `settings` alone.
    void writeSettings(nlohmann::json& settings) const;

    friend bool operator==(const NoticePolicy&, const NoticePolicy&) = default;
};

}  // namespace vardex
