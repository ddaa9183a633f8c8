#include <gtest/gtest.h>

#include "bridge/agent_stop.hpp"
#include "bridge/vardex_paths.hpp"
#include "activity/zone.hpp"
#include "support/fake_engine_store.hpp"
#include "strings/ui_strings.hpp"

namespace vardex::testing {
namespace {

TEST(StoreConstruction, LoadsWhatTheHomeFolderAndPreferencesHold) {
    StoreHarness harness;
    writeFile(VardexPaths::userPolicyURL(), "version: 1\ndefaults:\n  ask_timeout_seconds: 45\n  ask_threshold: 0.7\n");
    harness.preferences.setValue("v3HiddenEntries", std::vector<std::string>{"h1", "h2"});
    ASSERT_TRUE(AgentStop::stop(AgentStop::flagURL(), harness.queue.now()).ok());

    auto& store = harness.make();

    EXPECT_TRUE(std::filesystem::is_directory(VardexPaths::logsDirectory()));
    EXPECT_EQ(store.logURL, VardexPaths::logsDirectory() / "vardex-bar.jsonl");
    EXPECT_EQ(store.askTimeoutText, "45");
    EXPECT_EQ(store.askThresholdText, "0.70");
    EXPECT_EQ(store.hiddenEntryIds, (std::set<std::string>{"h1", "h2"}));
    EXPECT_TRUE(store.agentsStopped);
    EXPECT_EQ(store.now, harness.queue.now());
    EXPECT_EQ(store.iconState(), VardexIconState::notProtected);
}

struct LaunchCase { const char* name; std::optional<std::string> skipOnboarding, noAutostart, openWindows;
                    bool firstLaunchDone, showsOnboarding, startsProtection; std::vector<std::string> windowsAfterStart; };

class StoreLaunch : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(StoreLaunch, OnboardingProtectionAndWindowsFollowTheSwitches) {
    const auto& c = GetParam();
    StoreHarness harness;
    HeldBackground held;
    harness.storeBackground = &held;
    ScopedEnv skip("VARDEX_SKIP_ONBOARDING", c.skipOnboarding);
    ScopedEnv autostart("VARDEX_NO_AUTOSTART", c.noAutostart);
    ScopedEnv open("VARDEX_OPEN_WINDOWS", c.openWindows);
    if (c.firstLaunchDone) writeFile(VardexPaths::settingsURL(), R"({"firstLaunchCompleted":true})");

    auto& store = harness.make();
    EXPECT_EQ(store.showOnboarding, c.showsOnboarding);
    store.start();
    store.start();
    EXPECT_EQ(store.startingProtection, c.startsProtection);
    harness.queue.advance(0.5);

    std::vector<std::string> expected{"move-offer"};
    expected.insert(expected.end(), c.windowsAfterStart.begin(), c.windowsAfterStart.end());
    EXPECT_EQ(harness.windows.opened, expected);
    EXPECT_EQ(harness.notifier.authorizationRequests, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, StoreLaunch,
    ::testing::Values(
        LaunchCase{"firstLaunch", {}, {}, {}, false, true, false, {"dashboard"}},
        LaunchCase{"laterLaunch", {}, {}, {}, true, false, true, {}},
        LaunchCase{"skipOnboarding", "1", {}, {}, false, false, true, {}},
        LaunchCase{"openWindows", "1", "1", "1", false, false, false, {"dashboard", "log"}},
        LaunchCase{"openWindowsDuringOnboarding", {}, "1", "1", false, true, false, {"dashboard", "log"}}),
    caseName);

TEST(StoreClock, AnEngineThatHangsNeitherStopsTheClockNorStaysBusy) {
    StoreHarness harness;
    ThreadBackground threads;
    harness.storeBackground = &threads;
    harness.options.engineTimeLimit = std::chrono::milliseconds(1000);
    ScopedEnv autostart("VARDEX_NO_AUTOSTART", "1");
    const auto answered = harness.home / "answered";
    harness.writeEngine("if [ \"$1\" = doctor ]; then sleep 5; touch '" + answered.string() + "'; exit 0; fi\n" +
                        std::string(quietEngine));
    auto& store = harness.make();
    ApprovalRequest request;
    request.id = "req-1";

    store.start();
    store.handle(IpcMessage::approvalRequest(request));
    harness.queue.advance(31.0);

    EXPECT_TRUE(store.pending.empty());
    EXPECT_EQ(store.feed.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(answered)) << "the main thread waited for the engine";
    EXPECT_TRUE(store.checkingHealth);
    threads.drain();
    harness.queue.runPending();
    EXPECT_FALSE(store.checkingHealth);
    EXPECT_FALSE(store.refreshing);
    EXPECT_EQ(store.doctorError, std::string(UIStrings::engineTimedOut));
}

TEST(StoreClock, ReadsTheTimeZoneAgainWithinAMinute) {
    ScopedZone zone("JST-9");
    StoreHarness harness;
    ScopedEnv autostart("VARDEX_NO_AUTOSTART", "1");
    harness.make().start();
    const LocalCalendar calendar;
    const TimePoint noonUTC = *readTimestamp("2026-03-01T12:00:00Z");
    ASSERT_EQ(calendar.fields(noonUTC).hour, 21);

    ScopedEnv travelled("TZ", "EST5");
    harness.queue.advance(61.0);

    EXPECT_EQ(calendar.fields(noonUTC).hour, 7);
}


// Most seconds only the clock moves, and screens follow it without redrawing; a second that
// ends a question or a pause changes what every screen shows.
struct TickCase { const char* name; std::function<void(VardexStore&)> arrange; bool movesEverything; };

class StoreTick : public ::testing::TestWithParam<TickCase> {};

TEST_P(StoreTick, PublishesTheClockAloneUnlessTheSecondEndedSomething) {
    const auto& c = GetParam();
    StoreHarness harness;
    auto& store = harness.make();
    if (c.arrange) c.arrange(store);
    harness.queue.advance(2.0);
    const SliceRevisions before = store.revisions();

    store.tick();
    std::vector<StoreSlice> moved;
    for (std::size_t index = 0; index < storeSliceCount; ++index) {
        const auto slice = static_cast<StoreSlice>(index);
        if (store.revisions().of(slice) != before.of(slice)) moved.push_back(slice);
    }
    if (c.movesEverything) {
        EXPECT_EQ(moved.size(), storeSliceCount);
    } else {
        EXPECT_EQ(moved, std::vector<StoreSlice>{StoreSlice::clock});
    }
}

ApprovalRequest askingFor(std::string id) {
    ApprovalRequest request;
    request.id = std::move(id);
    return request;
}

INSTANTIATE_TEST_SUITE_P(
    Seconds, StoreTick,
    ::testing::Values(
        TickCase{"questionStillWaiting", [](VardexStore& store) { store.pending.push_back({askingFor("r-1"), store.now + std::chrono::seconds(30)}); }, false},
        TickCase{"questionTimesOut", [](VardexStore& store) { store.pending.push_back({askingFor("r-1"), store.now + std::chrono::seconds(1)}); }, true},
        TickCase{"pauseEnds", [](VardexStore& store) { store.pausedUntil = store.now + std::chrono::seconds(1); }, true}),
    caseName);

}  // namespace
}  // namespace vardex::testing
