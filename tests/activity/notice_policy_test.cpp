#include <gtest/gtest.h>

#include "activity/notice_policy.hpp"
#include "activity/notification_content.hpp"
#include "support/case_name.hpp"
#include "zone.hpp"

namespace vardex {
namespace {

TimePoint at(const char* ts) { return *readTimestamp(ts); }

struct Quiet { const char* name; int start, end; const char* localTime; bool quiet; };  // localTime in the test's zone

class QuietHours : public ::testing::TestWithParam<Quiet> {};

TEST_P(QuietHours, ByMinuteOfTheLocalDay) {
    // The moments are written in UTC; in "JST-9" they are nine hours later.
    testing::ScopedZone zone("JST-9");
    NoticePolicy policy;
    policy.quietHoursEnabled = true;
    policy.quietStartMinutes = GetParam().start;
    policy.quietEndMinutes = GetParam().end;
    LocalCalendar calendar;
    EXPECT_EQ(policy.inQuietHours(at(GetParam().localTime), calendar), GetParam().quiet);
    policy.quietHoursEnabled = false;
    EXPECT_FALSE(policy.inQuietHours(at(GetParam().localTime), calendar));
}

INSTANTIATE_TEST_SUITE_P(Periods, QuietHours, ::testing::Values(
        Quiet{"NightBeforeMidnight", 1320, 480, "2025-03-01T23:30:00+09:00", true},
        Quiet{"NightLastMinute", 1320, 480, "2025-03-01T07:59:00+09:00", true},
        Quiet{"NightEndIsAwake", 1320, 480, "2025-03-01T08:00:00+09:00", false},
        Quiet{"DayStartIsQuiet", 540, 1020, "2025-03-01T09:00:00+09:00", true},
        Quiet{"StartEqualsEndIsWholeDay", 600, 600, "2025-03-01T03:00:00+09:00", true}), testing::caseName);

TEST(DailyBlock, OncePerLocalDayAndNeverInQuietHours) {
    testing::ScopedZone zone("EST5");
    LocalCalendar calendar;
    NoticePolicy policy;
    policy.quietHoursEnabled = true;
    const TimePoint morning = at("2025-03-01T10:00:00-05:00");
    ASSERT_TRUE(policy.shouldNotifyDailyBlock(morning, calendar));
    policy.markDailyBlock(morning, calendar);
    EXPECT_EQ(policy.lastDailyBlockDay, "2025-03-01");
    EXPECT_FALSE(policy.shouldNotifyDailyBlock(at("2025-03-01T15:00:00-05:00"), calendar));
    // 03:00 UTC on the 2nd is still the 1st in New York, and in quiet hours anyway.
    EXPECT_FALSE(policy.shouldNotifyDailyBlock(at("2025-03-02T03:00:00Z"), calendar));
    EXPECT_FALSE(policy.shouldNotifyDailyBlock(at("2025-03-02T07:00:00-05:00"), calendar));
    EXPECT_TRUE(policy.shouldNotifyDailyBlock(at("2025-03-02T08:00:00-05:00"), calendar));
}

struct Clock { const char *name, *text; int minutes; };

class ClockText : public ::testing::TestWithParam<Clock> {};

TEST_P(ClockText, ParsesClampedAndWritesTwoDigits) {
    const int minutes = NoticePolicy::parseClock(GetParam().text);
    EXPECT_EQ(minutes, GetParam().minutes);
    EXPECT_EQ(NoticePolicy::parseClock(NoticePolicy::formatClock(minutes)), minutes);
}

INSTANTIATE_TEST_SUITE_P(Texts, ClockText, ::testing::Values(
        Clock{"Plain", "22:05", 1325}, Clock{"HourOnly", "7", 420}, Clock{"ClampedHigh", "25:75", 1439},
        Clock{"ClampedLow", "-3:-4", 0}, Clock{"RepeatedColons", "::7::30", 450}, Clock{"EmptyHour", ":30", 1380},
        Clock{"BadHourKeepsMinutes", "7a:30", 30}, Clock{"HugeHour", "99999999999999999999:10", 10},
        Clock{"PlusSigns", "+7:+5", 425}, Clock{"PlusThenMinus", "+-7:30", 30}), testing::caseName);

TEST(Notifications, AskFallsBackToTheSummary) {
    ApprovalRequest request{"42", "rm -rf ~", std::nullopt, Severity::info, {}, "", {}, {}};
    EXPECT_EQ(VardexNotifications::ask(request).body, "rm -rf ~");
    request.reasonUser = "Deletes your home";
    EXPECT_EQ(VardexNotifications::ask(request).body, "Deletes your home");
}

}  // namespace
}  // namespace vardex
