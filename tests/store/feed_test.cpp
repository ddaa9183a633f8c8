#include <gtest/gtest.h>

#include "activity/zone.hpp"
#include "bridge/vardex_paths.hpp"
#include "service/service_home.hpp"
#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

// 2030-03-01T09:15:02Z: a whole second, so the virtual clock's ts text is known exactly.
constexpr auto fixedNow = TimePoint(std::chrono::sys_days(std::chrono::year{2030} / 3 / 1).time_since_epoch() + 9h + 15min + 2s);

DecisionEvent liveEvent(std::string session, std::optional<std::string> summary, Outcome decision, std::string reason = "") {
    DecisionEvent event;
    event.session = std::move(session);
    event.actionSummary = std::move(summary);
    event.decision = decision;
    event.reasonUser = std::move(reason);
    return event;
}

AuditLogEntry logEntry(std::string hash, std::string ts, AgentKind agent, Outcome decision, std::string summary,
                       std::string session = "s1", std::optional<std::string> ruleId = std::nullopt) {
    AuditLogEntry entry;
    entry.hash = std::move(hash);
    entry.ts = std::move(ts);
    entry.agent = agent;
    entry.decision = decision;
    entry.actionSummary = std::move(summary);
    entry.session = std::move(session);
    entry.ruleId = std::move(ruleId);
    return entry;
}

Strings hashes(const std::vector<AuditLogEntry>& entries) {
    Strings out;
    for (const auto& entry : entries) out.push_back(entry.hash);
    return out;
}

std::string auditLine(const std::string& hash, const std::string& session, const std::string& command, const std::string& decision) {
    return R"({"ts":"2030-03-01T08:00:00Z","agent":"claude","session":")" + session + R"(","action":{"raw":")" + command +
           R"("},"decision":")" + decision + R"(","hash":")" + hash + "\"}\n";
}

class Feed : public ::testing::Test {
protected:
    StoreHarness harness;
    VardexStore& store = harness.make();
};

// ---- live events and the activity log ----------------------------------------------------------

TEST_F(Feed, LiveEventsAreListedOnceNewestFirstAndOnlyTheNewestFiftyStay) {
    store.insertFeed(liveEvent("s1", "ls", Outcome::allow, "ok"));
    store.insertFeed(liveEvent("s1", "ls", Outcome::allow, "other reason"));
    store.insertFeed(liveEvent("s1", std::nullopt, Outcome::allow, "ok"));
    store.insertFeed(liveEvent("s1", "ls", Outcome::allow, "ok"));
    ASSERT_EQ(store.feed.size(), 3u);
    EXPECT_EQ(store.feed[0], liveEvent("s1", "ls", Outcome::allow, "ok"));

    for (int i = 0; i < 55; ++i) store.insertFeed(liveEvent("s", "cmd " + std::to_string(i), Outcome::allow));
    ASSERT_EQ(store.feed.size(), 50u);
    EXPECT_EQ(store.feed.front().actionSummary, "cmd 54");
    EXPECT_EQ(store.feed.back().actionSummary, "cmd 5");
}

TEST_F(Feed, RefreshReadsTheLogNewestFirstAndSkipsWhatTheFeedHolds) {
    store.exampleData = true;
    // The user's own answer arrived live; the engine logged the same action with its own reason.
    store.insertFeed(liveEvent("s1", "rm -rf /", Outcome::deny, "You said no"));
    writeFile(VardexPaths::auditLogURL(), auditLine("h1", "s1", "ls", "allow") + auditLine("h2", "s1", "rm -rf /", "deny") +
                                              auditLine("h3", "s2", "pwd", "allow") + auditLine("h4", "s1", "ls", "allow"));

    store.refreshAuditFeed();

    EXPECT_FALSE(store.exampleData);
    EXPECT_EQ(hashes(store.auditEntries), (Strings{"h4", "h3", "h2", "h1"}));
    ASSERT_EQ(store.feed.size(), 3u);
    EXPECT_EQ(store.feed[0].reasonUser, "You said no");
    EXPECT_EQ(store.feed[1].actionSummary, "ls");  // the oldest log line comes first, its twin is skipped
    EXPECT_EQ(store.feed[2].actionSummary, "pwd");

    // Fifty live events push every log event out.
    for (int i = 0; i < 50; ++i) store.insertFeed(liveEvent("live", "cmd " + std::to_string(i), Outcome::allow));
    store.refreshAuditFeed();
    ASSERT_EQ(store.feed.size(), 50u);
    EXPECT_EQ(store.feed.back().session, "live");
}

// ---- filters -----------------------------------------------------------------------------------

struct FilterCase { const char* name; std::optional<AgentKind> agent; std::optional<Outcome> decision; std::string search; Strings expected; };

class FeedFilters : public Feed, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FeedFilters, KeepTheMatchingEntriesInOrder) {
    const auto& row = GetParam();
    store.auditEntries = {
        logEntry("a", "2030-03-01T08:00:00Z", AgentKind::claude, Outcome::deny, "Read ~/.ssh/id_rsa", "s1", "secrets.ssh"),
        logEntry("b", "2030-03-01T08:01:00Z", AgentKind::cursor, Outcome::allow, "ls -la"),
        logEntry("c", "2030-03-01T08:02:00Z", AgentKind::codex, Outcome::ask, "curl example.com"),
        logEntry("d", "2030-03-01T08:03:00Z", AgentKind::claude, Outcome::deny, "rm -rf /", "demo"),
        logEntry("e", "2030-03-01T08:04:00Z", AgentKind::claude, Outcome::allow, "Ärger.txt", "check"),
    };
    store.logAgentFilter = row.agent;
    store.logDecisionFilter = row.decision;
    store.logSearch = row.search;

    EXPECT_EQ(hashes(store.filteredAuditEntries()), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Feed, FeedFilters,
    ::testing::Values(FilterCase{"NoFilterDropsOnlyTheDemoSession", {}, {}, "", {"a", "b", "c", "e"}},
                      FilterCase{"AgentAndDecision", AgentKind::claude, Outcome::allow, "", {"e"}},
                      FilterCase{"DecisionWordInCapitals", {}, {}, "DENY", {"a"}},
                      FilterCase{"TrimmedAndAcrossTheSpaces", {}, {}, "  \n-la  cursor allow\t", {"b"}},
                      FilterCase{"NonAsciiCapitals", {}, {}, "ÄRGER", {"e"}}), caseName);

// ---- the day's entries and counts --------------------------------------------------------------

TEST(FeedToday, CountsFollowTheLocalDayAndTheirOwnRules) {
    ScopedZone zone("UTC-09");  // nine hours east of UTC
    StoreHarness harness;
    harness.preferences.setValue("v3FirstRunAt", fixedNow - 48h);
    harness.preferences.setValue("v3HiddenEntries", Strings{"hidden"});
    auto& store = harness.make();
    store.now = fixedNow;  // 18:15 local on 2030-03-01
    store.auditEntries = {
        logEntry("d1", "2030-03-01T09:00:00Z", AgentKind::claude, Outcome::deny, "rm a"),
        logEntry("d2", "2030-03-01T00:30:00+09:00", AgentKind::claude, Outcome::deny, "rm b"),
        logEntry("hidden", "2030-03-01T09:01:00Z", AgentKind::claude, Outcome::deny, "rm c"),
        logEntry("demo", "2030-03-01T09:02:00Z", AgentKind::claude, Outcome::ask, "rm d", "demo"),
        logEntry("ask", "2030-03-01T09:03:00Z", AgentKind::cursor, Outcome::ask, "curl"),
        logEntry("utcYesterday", "2030-02-28T16:00:00Z", AgentKind::claude, Outcome::deny, "rm e"),
        logEntry("beforeFirstRun", "2030-02-26T09:00:00Z", AgentKind::claude, Outcome::deny, "rm f"),
    };

    // utcYesterday is 01:00 local today although its text begins with yesterday's date: every
    // count takes it as today's. Checked and asked also count hidden and demonstration entries.
    EXPECT_EQ(hashes(store.v3TodayEntries()), (Strings{"d1", "d2", "ask", "utcYesterday"}));
    EXPECT_EQ(store.todayStoppedCount(), 3);
    EXPECT_EQ(store.todayAskedCount(), 2);
    EXPECT_EQ(store.todayCheckedCount(), 6);
}

TEST(FeedToday, TheFirstRunDateIsRecordedOnceInPlaceOfOneThatIsNotADate) {
    StoreHarness harness;
    harness.preferences.setValue("v3FirstRunAt", std::string("yesterday"));
    auto& store = harness.make();
    const auto firstRun = harness.queue.now();

    EXPECT_EQ(store.v3Since(), firstRun);
    harness.queue.advance(30);
    EXPECT_EQ(store.firstRunAt(), firstRun);
    EXPECT_EQ(std::get<TimePoint>(*harness.preferences.value("v3FirstRunAt")), firstRun);

    store.exampleData = true;
    EXPECT_EQ(store.v3Since(), std::nullopt);
    store.exampleData = false;
    ScopedEnv example("VARDEX_V2_EXAMPLE", "1");
    EXPECT_EQ(store.v3Since(), std::nullopt);
}

// ---- delete and undo (the toast's own time is the activity page's test) ---------------------------------------------------------------------------

std::set<std::string> storedHidden(const MemoryPreferences& preferences) {
    const auto ids = std::get<Strings>(*preferences.value("v3HiddenEntries"));
    return {ids.begin(), ids.end()};
}

TEST(FeedDelete, UndoWithinSixSecondsOfTheLastDeletionBringsItsEntriesBack) {
    StoreHarness harness;
    harness.preferences.setValue("v3HiddenEntries", Strings{"old"});
    auto& store = harness.make();
    store.auditEntries = {logEntry("b", "", AgentKind::claude, Outcome::deny, "x")};
    store.blockedDetailId = "b";

    store.v3Delete({"a"});
    harness.queue.advance(3);
    store.v3Delete({"b", "c"});
    store.v3Delete({});  // nothing to delete changes nothing
    EXPECT_EQ(storedHidden(harness.preferences), (std::set<std::string>{"old", "a", "b", "c"}));
    EXPECT_EQ(store.blockedDetailId, std::nullopt);
    harness.queue.advance(5.9);  // the first deletion's timer has run, the second's not yet
    EXPECT_EQ(store.v3UndoIds, (Strings{"b", "c"}));
    store.v3Undo();

    EXPECT_EQ(store.hiddenEntryIds, (std::set<std::string>{"old", "a"}));
    EXPECT_EQ(storedHidden(harness.preferences), (std::set<std::string>{"old", "a"}));
    EXPECT_TRUE(store.v3UndoIds.empty());
}

// ---- export ------------------------------------------------------------------------------------

TEST_F(Feed, ExportWritesTheFilteredListExactlyWithoutAFinalLineFeed) {
    store.auditEntries = {
        logEntry("h1", "2030-03-01T09:00:00Z", AgentKind::claude, Outcome::deny, "say \"hi\"", "s1", "secrets.ssh"),
        logEntry("h2", "2030-03-01T08:00:00Z", AgentKind::cursor, Outcome::ask, "ls"),
        logEntry("h3", "2030-03-01T07:00:00Z", AgentKind::cursor, Outcome::allow, "rm", "demo"),
        logEntry("h4", "2030-03-01T06:00:00Z", AgentKind::mcp, Outcome::allow, "bad \xff text"),
    };
    store.hiddenEntryIds = {"h2"};  // hiding does not apply to the export
    const auto file = harness.home / "out" / "log.jsonl";
    writeFile(file, "old contents");
    harness.windows.saveLocation = file;

    store.exportLog();

    ASSERT_EQ(harness.windows.saveRequests.size(), 1u);
    EXPECT_EQ(harness.windows.saveRequests[0].suggestedName, "vardex-log.jsonl");
    EXPECT_EQ(readFile(file),
              R"({"action":"say \"hi\"","agent":"claude","decision":"deny","hash":"h1","rule_id":"secrets.ssh","ts":"2030-03-01T09:00:00Z"})"
              "\n"
              R"({"action":"ls","agent":"cursor","decision":"ask","hash":"h2","rule_id":null,"ts":"2030-03-01T08:00:00Z"})"
              "\n"
              "{\"action\":\"bad \xff text\"}");
    EXPECT_EQ(store.lastMessage, "Exported 3 activity lines.");
}

TEST(FeedExport, ToTheEnvironmentsFileWithoutAPanelAndAFailedWriteSaysSo) {
    StoreHarness harness;
    const auto file = harness.home / "no-such-folder" / "log.jsonl";
    ScopedEnv exportFile("VARDEX_EXPORT_FILE", file.string());
    auto& store = harness.make();

    store.exportLog();

    EXPECT_TRUE(harness.windows.saveRequests.empty());
    EXPECT_FALSE(std::filesystem::exists(file));
    ASSERT_TRUE(store.lastMessage);
    EXPECT_TRUE(store.lastMessage->starts_with("Could not export the activity list.")) << *store.lastMessage;
}

// ---- the app's own event log -------------------------------------------------------------------

// An empty `expectedLine`: the line is dropped.
struct EventLogCase { const char* name; std::string event; nlohmann::json fields; std::string expectedLine; };

class EventLogLines : public Feed, public ::testing::WithParamInterface<EventLogCase> {};

TEST_P(EventLogLines, AreAppendedExactly) {
    const auto& row = GetParam();
    writeFile(store.logURL, "{\"old\":1}\n");
    harness.queue.advance(std::chrono::duration<double>(fixedNow + 400ms - harness.queue.now()).count());

    store.logEvent(row.event, row.fields);

    EXPECT_EQ(readFile(store.logURL), "{\"old\":1}\n" + (row.expectedLine.empty() ? "" : row.expectedLine + "\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Feed, EventLogLines,
    ::testing::Values(
        EventLogCase{"CallerReplacesTsAndEvent", "pause", {{"ts", "later"}, {"event", "other"}}, R"({"event":"other","ts":"later"})"},
        EventLogCase{"NestedInfinity", "stop", {{"list", {1.0, std::numeric_limits<double>::infinity()}}}, ""},
        EventLogCase{"NotUTF8", "respond_failed", {{"error", "\xff\xfe"}}, ""}), caseName);

}  // namespace
}  // namespace vardex::testing
