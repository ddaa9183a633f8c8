#include <gtest/gtest.h>

#include "activity/zone.hpp"
#include "bridge/vardex_paths.hpp"
#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

using namespace std::chrono_literals;

// 2030-03-01 00:00 UTC; the tests run in UTC so local clock times read directly.
constexpr auto dayOne = TimePoint(std::chrono::sys_days(std::chrono::year{2030} / 3 / 1).time_since_epoch());

DecisionEvent denyEvent(std::string summary) {
    DecisionEvent event;
    event.session = "s1";
    event.decision = Outcome::deny;
    event.actionSummary = std::move(summary);
    return event;
}

std::vector<std::string> identifiers(const RecordingNotifier& notifier) {
    std::vector<std::string> out;
    for (const auto& content : notifier.posted) out.push_back(content.identifier);
    return out;
}

class NoticesTest : public ::testing::Test {
protected:
    ScopedZone zone_{"UTC0"};
    StoreHarness harness;
};

// ---- the daily blocked notice --------------------------------------------------------------

TEST_F(NoticesTest, TheFirstDenyOfTheDayNotesAndCountsTheVisibleDayOnce) {
    harness.preferences.setValue("v3FirstRunAt", dayOne);
    auto& store = harness.make();
    store.now = dayOne + 10h;
    AuditLogEntry logged;
    logged.ts = "2030-03-01T09:00:00Z";
    logged.decision = Outcome::deny;
    logged.hash = "h";
    store.auditEntries = {logged, logged};
    store.auditEntries[1].hash = "h2";

    store.insertFeed(denyEvent("rm"));

    EXPECT_EQ(store.dailyBlockNote, "Latest stopped risk");
    ASSERT_EQ(harness.notifier.posted.size(), 1u);
    EXPECT_EQ(harness.notifier.posted[0], VardexNotifications::dailyBlock(2));
    EXPECT_EQ(store.notice.lastDailyBlockDay, "2030-03-01");

    // Once a day: when, and outside which quiet hours, is the notice policy's to say.
    store.insertFeed(denyEvent("rm again"));
    EXPECT_EQ(harness.notifier.posted.size(), 1u);
}

// Reading and writing the quiet hours is the notice policy's test; typing them, the settings page's.

// ---- canary trips and the network filter -------------------------------------------------------

TEST_F(NoticesTest, OnlyTheNewestCanaryTripIsAnnouncedAndOnlyOnce) {
    auto& store = harness.make();
    AuditLogEntry older, newer, other;
    older.ruleId = newer.ruleId = "canary.trip";
    other.ruleId = "canary.tripped";
    older.ts = "2030-03-01T08:00:00Z";
    newer.ts = "2030-03-01T09:00:00Z";
    store.auditEntries = {other, newer, older};

    store.notifyCanaryTrips();
    store.notifyCanaryTrips();
    EXPECT_EQ(identifiers(harness.notifier), (std::vector<std::string>{"canary-trip"}));

    newer.actionSummary = "touch ~/canary";
    store.auditEntries = {newer, older};
    store.notifyCanaryTrips();
    EXPECT_EQ(harness.notifier.posted.size(), 2u);
}

TEST_F(NoticesTest, EachNetworkDenyFileGivesOneNotice) {
    auto& store = harness.make();
    const auto file = VardexPaths::supportDirectory() / "ne-deny.json";

    store.notifyNetworkDeny();
    EXPECT_TRUE(harness.notifier.posted.empty());

    writeFile(file, "{}");
    store.notifyNetworkDeny();
    store.notifyNetworkDeny();
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(identifiers(harness.notifier), (std::vector<std::string>{"ne-deny"}));

    writeFile(file, "");
    store.notifyNetworkDeny();
    EXPECT_EQ(harness.notifier.posted.size(), 2u);
}

}  // namespace
}  // namespace vardex::testing
