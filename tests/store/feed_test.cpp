#include <chrono>
#include <fstream>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

using namespace std::chrono_literals;

// 2030-03-01T09:15:02Z: a whole second, so the virtual clock's ts text is known exactly.
constexpr auto fixedNow = TimePoint(std::chrono::sys_days(std::chrono::year{2030} / 3 / 1).time_since_epoch() + 9h + 15min + 2s);

void advanceTo(ManualQueue& queue, TimePoint when) {
    queue.advance(std::chrono::duration<double>(when - queue.now()).count());
}

std::string readAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

DecisionEvent liveEvent(std::string session, std::optional<std::string> summary, Outcome decision,
                        std::string reason = "") {
    DecisionEvent event;
    event.session = std::move(session);
    event.actionSummary = std::move(summary);
    event.decision = decision;
    event.reasonUser = std::move(reason);
    return event;
}

// ---- live events -----------------------------------------------------------------------------

TEST(FeedLiveEvents, SameEventTwiceIsListedOnceAtTheTop) {
    StoreHarness harness;
    auto& store = harness.make();
    store.insertFeed(liveEvent("s1", "ls", Outcome::allow, "ok"));
    store.insertFeed(liveEvent("s2", "pwd", Outcome::allow));
    store.insertFeed(liveEvent("s1", "ls", Outcome::allow, "ok"));

    ASSERT_EQ(store.feed.size(), 2u);
    EXPECT_EQ(store.feed[0].session, "s1");
    EXPECT_EQ(store.feed[1].session, "s2");
}

TEST(FeedLiveEvents, DifferentUserReasonOrAbsentSummaryKeepsBoth) {
    StoreHarness harness;
    auto& store = harness.make();
    store.insertFeed(liveEvent("s1", "ls", Outcome::deny, "one"));
    store.insertFeed(liveEvent("s1", "ls", Outcome::deny, "two"));
    store.insertFeed(liveEvent("s1", std::nullopt, Outcome::deny, "two"));
    store.insertFeed(liveEvent("s1", std::nullopt, Outcome::deny, "two"));

    EXPECT_EQ(store.feed.size(), 3u);
}

TEST(FeedLiveEvents, KeepsTheNewestFifty) {
    StoreHarness harness;
    auto& store = harness.make();
    for (int i = 0; i < 55; ++i) store.insertFeed(liveEvent("s", "cmd " + std::to_string(i), Outcome::allow));

    ASSERT_EQ(store.feed.size(), 50u);
    EXPECT_EQ(store.feed.front().actionSummary, "cmd 54");
    EXPECT_EQ(store.feed.back().actionSummary, "cmd 5");
}

// ---- the app's own event log -------------------------------------------------------------------

struct EventLogCase {
    const char* name;
    std::string event;
    nlohmann::json fields;
    std::string expectedLine;  // empty: the line is dropped
};

class EventLogLines : public ::testing::TestWithParam<EventLogCase> {};

TEST_P(EventLogLines, AreWrittenExactly) {
    const auto& row = GetParam();
    StoreHarness harness;
    auto& store = harness.make();
    advanceTo(harness.queue, fixedNow + 400ms);

    store.logEvent(row.event, row.fields);

    if (row.expectedLine.empty()) {
        EXPECT_FALSE(std::filesystem::exists(store.logURL));
    } else {
        EXPECT_EQ(readAll(store.logURL), row.expectedLine + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Feed, EventLogLines,
    ::testing::Values(
        EventLogCase{"NoFields", "resume", nlohmann::json::object(), R"({"event":"resume","ts":"2030-03-01T09:15:02Z"})"},
        EventLogCase{"Decision", "decision",
                     {{"id", "r1"}, {"verdict", "allow_once"}, {"by", "menubar"}, {"agent", "claude"}},
                     R"({"agent":"claude","by":"menubar","event":"decision","id":"r1","ts":"2030-03-01T09:15:02Z","verdict":"allow_once"})"},
        EventLogCase{"TypedValues", "stop", {{"count", 2}, {"flag", true}},
                     R"({"count":2,"event":"stop","flag":true,"ts":"2030-03-01T09:15:02Z"})"},
        EventLogCase{"CallerReplacesTsAndEvent", "pause", {{"ts", "later"}, {"event", "other"}},
                     R"({"event":"other","ts":"later"})"},
        EventLogCase{"NotANumber", "stop", {{"count", std::numeric_limits<double>::quiet_NaN()}}, ""},
        EventLogCase{"NestedInfinity", "stop", {{"list", {1.0, std::numeric_limits<double>::infinity()}}}, ""},
        EventLogCase{"NotUTF8", "respond_failed", {{"error", "\xff\xfe"}}, ""}),
    [](const auto& row) { return row.param.name; });

TEST(FeedEventLog, AppendsToTheExistingFileAndSkipsDroppedLines) {
    StoreHarness harness;
    auto& store = harness.make();
    writeFile(store.logURL, "{\"old\":1}\n");
    advanceTo(harness.queue, fixedNow);

    store.logEvent("resume");
    store.logEvent("stop", {{"count", std::numeric_limits<double>::quiet_NaN()}});
    harness.queue.advance(61);
    store.logEvent("stop_agents", {{"count", 3}});

    EXPECT_EQ(readAll(store.logURL),
              "{\"old\":1}\n"
              "{\"event\":\"resume\",\"ts\":\"2030-03-01T09:15:02Z\"}\n"
              "{\"count\":3,\"event\":\"stop_agents\",\"ts\":\"2030-03-01T09:16:03Z\"}\n");
}

TEST(FeedEventLog, AnUnwritableFolderIsIgnored) {
    StoreHarness harness;
    auto& store = harness.make();
    store.logURL = harness.home / "missing-folder" / "vardex-bar.jsonl";

    store.logEvent("resume");

    EXPECT_FALSE(std::filesystem::exists(store.logURL));
}

}  // namespace
}  // namespace vardex::testing
