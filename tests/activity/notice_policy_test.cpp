#include <gtest/gtest.h>

#include "activity/notice_policy.hpp"
#include "activity/notification_content.hpp"
#include "zone.hpp"

namespace vardex {
namespace {

TimePoint at(const char* ts) { return *readTimestamp(ts); }

struct Quiet {
    int start;
    int end;
    const char* localTime;  // in the zone of the test
    bool quiet;
};

class QuietHours : public ::testing::TestWithParam<Quiet> {};

TEST_P(QuietHours, ByMinuteOfTheLocalDay) {
    // The moments are written in UTC; in "JST-9" they are nine hours later.
    testing::ScopedZone zone("JST-9");
    NoticePolicy policy;
    policy.quietHoursEnabled = true;
    policy.quietStartMinutes = GetParam().start;
    policy.quietEndMinutes = GetParam().end;
    LocalCalendar calendar;
    EXPECT_EQ(policy.inQuietHours(at(GetParam().localTime), calendar), GetParam().quiet)
        << GetParam().localTime;
    policy.quietHoursEnabled = false;
    EXPECT_FALSE(policy.inQuietHours(at(GetParam().localTime), calendar));
}

INSTANTIATE_TEST_SUITE_P(
    Periods, QuietHours,
    ::testing::Values(
        // 22:00-08:00 local, across midnight.
        Quiet{1320, 480, "2025-03-01T23:30:00+09:00", true},
        Quiet{1320, 480, "2025-03-01T07:59:00+09:00", true},
        Quiet{1320, 480, "2025-03-01T08:00:00+09:00", false},
        Quiet{1320, 480, "2025-03-01T21:59:00+09:00", false},
        Quiet{1320, 480, "2025-03-01T13:30:00Z", true},  // 22:30 in Tokyo
        // 09:00-17:00 local.
        Quiet{540, 1020, "2025-03-01T08:59:00+09:00", false},
        Quiet{540, 1020, "2025-03-01T09:00:00+09:00", true},
        Quiet{540, 1020, "2025-03-01T17:00:00+09:00", false},
        // Start equal to end: the whole day.
        Quiet{600, 600, "2025-03-01T03:00:00+09:00", true}));

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
    policy.quietStartMinutes = policy.quietEndMinutes = 0;
    EXPECT_FALSE(policy.shouldNotifyDailyBlock(at("2025-03-02T12:00:00-05:00"), calendar));
    EXPECT_TRUE(policy.shouldNotifyAsk());
}

TEST(DayStamp, LocalDateInTwoZones) {
    LocalCalendar calendar;
    const TimePoint moment = at("2025-12-31T20:30:00Z");
    {
        testing::ScopedZone zone("UTC0");
        EXPECT_EQ(NoticePolicy::dayStamp(moment, calendar), "2025-12-31");
    }
    {
        testing::ScopedZone zone("JST-9");
        EXPECT_EQ(NoticePolicy::dayStamp(moment, calendar), "2026-01-01");
    }
}

struct Clock {
    const char* text;
    int minutes;
};

class ClockText : public ::testing::TestWithParam<Clock> {};

TEST_P(ClockText, ParsesClamped) {
    EXPECT_EQ(NoticePolicy::parseClock(GetParam().text), GetParam().minutes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ClockText,
    ::testing::Values(Clock{"22:00", 1320}, Clock{"08:00", 480}, Clock{"7", 420},
                      Clock{"7:5", 425}, Clock{"25:75", 1439}, Clock{"-3:-4", 0},
                      Clock{"+7:+5", 425}, Clock{"::7::30", 450}, Clock{":30", 1380},
                      Clock{"ab", 0}, Clock{"", 0}, Clock{"7a:30", 30}, Clock{" 7:30", 30},
                      Clock{"99999999999999999999:10", 10}));

TEST(ClockText, FormatsTwoDigits) {
    EXPECT_EQ(NoticePolicy::formatClock(480), "08:00");
    EXPECT_EQ(NoticePolicy::formatClock(425), "07:05");
    EXPECT_EQ(NoticePolicy::formatClock(1439), "23:59");
}

TEST(NoticeSettings, ReadsLenientlyAndKeepsOtherKeys) {
    auto settings = nlohmann::json::parse(
        R"({"quietHoursEnabled":true,"quietStartMinutes":"1300","quietEndMinutes":425,
            "lastDailyBlockDay":"2025-03-01","askTimeoutSeconds":30})");
    NoticePolicy policy = NoticePolicy::fromSettings(settings);
    EXPECT_TRUE(policy.quietHoursEnabled);
    EXPECT_EQ(policy.quietStartMinutes, 1320);
    EXPECT_EQ(policy.quietEndMinutes, 425);
    EXPECT_EQ(policy.lastDailyBlockDay, "2025-03-01");
    EXPECT_EQ(NoticePolicy::fromSettings(nlohmann::json::array()), NoticePolicy{});

    policy.quietStartMinutes = 60;
    policy.writeSettings(settings);
    EXPECT_EQ(settings["askTimeoutSeconds"], 30);
    EXPECT_EQ(settings["quietStartMinutes"], 60);
    EXPECT_EQ(NoticePolicy::fromSettings(settings), policy);
}

struct Notice {
    NotificationContent actual;
    NotificationContent expected;
};

class NotificationTexts : public ::testing::TestWithParam<Notice> {};

TEST_P(NotificationTexts, IdentifierTitleBody) {
    EXPECT_EQ(GetParam().actual, GetParam().expected);
}

ApprovalRequest request(std::string reasonUser) {
    ApprovalRequest r;
    r.id = "42";
    r.actionSummary = "rm -rf ~";
    r.reasonUser = std::move(reasonUser);
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NotificationTexts,
    ::testing::Values(
        Notice{VardexNotifications::ask(request("Deletes your home")),
               {"ask-42", "Needs your answer", "Deletes your home"}},
        Notice{VardexNotifications::ask(request("")), {"ask-42", "Needs your answer", "rm -rf ~"}},
        Notice{VardexNotifications::dailyBlock(0),
               {"daily-block", "Something was blocked", "Vardex blocked a risky action today."}},
        Notice{VardexNotifications::dailyBlock(1),
               {"daily-block", "Something was blocked", "Vardex blocked a risky action today."}},
        Notice{VardexNotifications::dailyBlock(3),
               {"daily-block", "Something was blocked", "Vardex blocked 3 risky actions today."}},
        Notice{VardexNotifications::canaryTrip(),
               {"canary-trip", "Canary file was touched",
                "Detection only. Vardex noticed a canary file change. It did not block the file "
                "action."}},
        Notice{VardexNotifications::networkDeny(),
               {"ne-deny", "Network filter blocked a site",
                "An AI app was stopped from opening a blocked or unknown website."}},
        Notice{VardexNotifications::nowProtecting("Cursor"),
               {"now-protecting-Cursor", "Vardex", "Now protecting Cursor"}}));

}  // namespace
}  // namespace vardex
