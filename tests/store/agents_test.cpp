#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "activity/notification_content.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/onboarding_folders.hpp"
#include "support/fake_engine_store.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

using Kind = AgentInstallRow::Kind;

AgentInstallRow row(std::string id, Kind kind, bool detected, bool installed) {
    return {id, "Title of " + id, detected, installed, "", kind};
}

AuditLogEntry logged(AgentKind agent, std::string session, std::string hash) {
    AuditLogEntry entry;
    entry.ts = "2026-03-02T10:00:00Z";
    entry.agent = agent;
    entry.session = std::move(session);
    entry.hash = std::move(hash);
    return entry;
}

nlohmann::json settingsFile() {
    std::ifstream in(VardexPaths::settingsURL());
    return nlohmann::json::parse(in, nullptr, false);
}

std::vector<std::string> ids(const std::vector<AgentInstallRow>& rows) {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(r.id);
    return out;
}

// ---- auto-connect guards -------------------------------------------------------------------

struct ScanCase {
    const char* name;
    bool consented;
    std::optional<std::string> skipConsent;
    std::optional<std::string> skipOnboarding;
    bool autoProtectNew;
    bool scans;
};

class AutoConnectScan : public FakeEngineStoreTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(AutoConnectScan, RunsTheConnectCommandOnlyPastItsThreeGuards) {
    const auto& c = GetParam();
    ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", c.skipConsent);
    ScopedEnv skipOnboarding("VARDEX_SKIP_ONBOARDING", c.skipOnboarding);
    harness.writeEngine(std::string(quietEngine));
    if (c.consented) writeFile(VardexPaths::settingsURL(), R"({"connectConsented":true})");
    auto& store = harness.make();
    store.autoProtectNew = c.autoProtectNew;

    store.scanAutoConnect();
    harness.queue.runPending();

    EXPECT_EQ(harness.engineCalls(), c.scans ? std::vector<std::string>{"connect --json"} : std::vector<std::string>{});
    if (c.scans) {
        EXPECT_EQ(harness.background.priorities, std::vector<WorkPriority>{WorkPriority::utility});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Guards, AutoConnectScan,
    ::testing::Values(ScanCase{"noConsentYet", false, std::nullopt, std::nullopt, true, false},
                      ScanCase{"consented", true, std::nullopt, std::nullopt, true, true},
                      ScanCase{"consentSwitchedOff", false, "1", std::nullopt, true, true},
                      ScanCase{"consentSwitchNotExactlyOne", false, "true", std::nullopt, true, false},
                      ScanCase{"autoProtectOff", true, std::nullopt, std::nullopt, false, false},
                      ScanCase{"onboardingSkipped", true, std::nullopt, "1", true, false}),
    caseName);

using AutoConnectWatch = FakeEngineStoreTest;

TEST_F(AutoConnectWatch, ScansOnceAfterASecondAndAFifthThenEveryEightSeconds) {
    ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.startAutoConnectWatch();

    const auto scansAfter = [&](double seconds) {
        harness.queue.advance(seconds);
        return harness.engineCalls().size();
    };
    EXPECT_EQ(scansAfter(1.1), 0u);
    EXPECT_EQ(scansAfter(0.1), 1u);  // 1.2 s
    EXPECT_EQ(scansAfter(6.7), 1u);  // 7.9 s
    EXPECT_EQ(scansAfter(0.1), 2u);  // 8 s
    EXPECT_EQ(scansAfter(8.0), 3u);  // 16 s
}

TEST_F(AutoConnectWatch, StartsNoProcessBeforeConsent) {
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    ASSERT_TRUE(store.showConnectConsent);
    store.startAutoConnectWatch();

    harness.queue.advance(30.0);

    EXPECT_TRUE(harness.engineCalls().empty());
}

TEST_F(AutoConnectWatch, StopsWhenTheStoreIsGone) {
    ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    harness.writeEngine(std::string(quietEngine));
    harness.make().startAutoConnectWatch();
    harness.storePointer().reset();

    harness.queue.advance(20.0);

    EXPECT_TRUE(harness.engineCalls().empty());
}

// ---- connect results -----------------------------------------------------------------------

struct ConnectResultCase {
    const char* name;
    std::string stdout;
    std::string stderr;
    std::int32_t exitCode;
    std::vector<std::string> announced;  // agent names
    std::optional<std::string> lastMessage;
    bool autoProtectNewAfter;
};

class ConnectResult : public FakeEngineStoreTest, public ::testing::WithParamInterface<ConnectResultCase> {};

TEST_P(ConnectResult, AnnouncesNewlyProtectedAgentsAndFollowsTheEnginesSwitch) {
    const auto& c = GetParam();
    auto& store = harness.make();

    store.noteConnectResult(CliResult{c.exitCode, c.stdout, c.stderr});

    std::vector<NotificationContent> expected;
    for (const auto& name : c.announced) expected.push_back(VardexNotifications::nowProtecting(name));
    EXPECT_EQ(harness.notifier.posted, expected);
    EXPECT_EQ(store.lastMessage, c.lastMessage);
    EXPECT_EQ(store.autoProtectNew, c.autoProtectNewAfter);
    // The engine's switch is shown, never written into the app's own settings.
    EXPECT_FALSE(std::filesystem::exists(VardexPaths::settingsURL()));
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ConnectResult,
    ::testing::Values(
        ConnectResultCase{"oneAgent", R"({"notifications":["Now protecting Cursor"]})", "", 0, {"Cursor"},
                          "Now protecting Cursor", true},
        ConnectResultCase{"otherSentencesSkipped",
                          R"({"notifications":["Scanned 3 apps","Now protecting Codex","Now protecting Claude Code"]})",
                          "", 0, {"Codex", "Claude Code"}, "Now protecting Claude Code", true},
        ConnectResultCase{"notAllStrings", R"({"notifications":["Now protecting Cursor", 3]})", "", 0, {}, std::nullopt,
                          true},
        ConnectResultCase{"switchedOffByEngine", R"({"auto_protect_new":false})", "", 0, {}, std::nullopt, false},
        ConnectResultCase{"switchNotABoolean", R"({"auto_protect_new":"false"})", "", 0, {}, std::nullopt, true},
        ConnectResultCase{"failedRunStillRead", R"({"auto_protect_new":false,"notifications":["Now protecting Zed"]})",
                          "", 2, {"Zed"}, "Now protecting Zed", false},
        ConnectResultCase{"warningSpoilsTheJSON", R"({"auto_protect_new":false})", "warning: slow disk", 0, {},
                          std::nullopt, true},
        ConnectResultCase{"notAnObject", R"(["Now protecting Cursor"])", "", 0, {}, std::nullopt, true}),
    caseName);

using ConnectRuns = FakeEngineStoreTest;

TEST_F(ConnectRuns, IgnoresAnEngineThatCouldNotRun) {
    auto& store = harness.make();
    store.noteConnectResult(fail(CliError::binaryMissing()));
    store.noteConnectResult(fail(CliError::spawnFailed("no such file")));
    EXPECT_TRUE(harness.notifier.posted.empty());
    EXPECT_EQ(store.lastMessage, std::nullopt);
    EXPECT_TRUE(store.autoProtectNew);
}

TEST_F(ConnectRuns, ConsentIsRecordedThenTheEngineConnectsAndTheDashboardFollows) {
    harness.writeEngine(R"(case "$1" in
  connect) echo '{"notifications":["Now protecting Cursor"]}' ;;
  doctor) echo '{}' ;;
esac)");
    auto& store = harness.make();
    ASSERT_TRUE(store.showConnectConsent);

    store.acceptConnectConsent();
    EXPECT_FALSE(store.showConnectConsent);
    EXPECT_EQ(settingsFile(), nlohmann::json::parse(R"({"connectConsented":true,"firstLaunchCompleted":true})"));
    harness.queue.runPending();

    const auto calls = harness.engineCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), "connect --consent --json");
    EXPECT_EQ(callsStartingWith("doctor"), std::vector<std::string>{"doctor --json"});
    EXPECT_EQ(harness.notifier.posted, std::vector{VardexNotifications::nowProtecting("Cursor")});
    EXPECT_EQ(store.lastMessage, "Now protecting Cursor");
    EXPECT_EQ(harness.background.priorities.at(0), WorkPriority::userInitiated);
    EXPECT_FALSE(store.refreshing);
}

struct SwitchCase {
    bool on;
    const char* command;
    nlohmann::json settings;
};

class AutoProtectSwitch : public FakeEngineStoreTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(AutoProtectSwitch, SavesTheChoiceAndTellsTheEngine) {
    const auto& c = GetParam();
    harness.writeEngine(std::string(quietEngine));
    writeFile(VardexPaths::settingsURL(), R"({"quietHoursEnabled":true})");
    auto& store = harness.make();

    store.setAutoProtectNew(c.on);
    harness.queue.runPending();

    EXPECT_EQ(store.autoProtectNew, c.on);
    EXPECT_EQ(settingsFile(), c.settings);
    ASSERT_FALSE(harness.engineCalls().empty());
    EXPECT_EQ(harness.engineCalls().front(), c.command);
    EXPECT_EQ(callsStartingWith("doctor").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Both, AutoProtectSwitch,
    ::testing::Values(
        SwitchCase{true, "connect --auto-protect on --json",
                   {{"quietHoursEnabled", true}, {"autoProtectNew", true}, {"connectConsented", true}}},
        SwitchCase{false, "connect --auto-protect off --json", {{"quietHoursEnabled", true}, {"autoProtectNew", false}}}),
    [](const auto& test) { return test.param.on ? std::string("on") : std::string("off"); });

// ---- onboarding and repairs ----------------------------------------------------------------

struct SelectionCase {
    const char* name;
    std::set<std::string> ticked;
    std::vector<std::string> installs;
};

class ProtectSelectedApps : public FakeEngineStoreTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(ProtectSelectedApps, InstallsTheTickedFamiliesInTheirFixedOrderAndMovesOn) {
    const auto& c = GetParam();
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.onboardingEnabled = c.ticked;

    store.protectSelectedApps();
    EXPECT_TRUE(store.busy);
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("install"), c.installs);
    EXPECT_FALSE(store.busy);
    EXPECT_EQ(store.onboardingStep, 3);
    EXPECT_EQ(store.userPolicy.folders().size(), OnboardingFolders::defaultGuardPaths().size());
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ProtectSelectedApps,
    ::testing::Values(SelectionCase{"onlyClaude", {"claude"}, {"install --claude"}},
                      SelectionCase{"allThree", {"codex", "claude", "cursor"},
                                    {"install --cursor", "install --claude", "install --codex"}},
                      SelectionCase{"extraNamesAreNotInstalled", {"zed", "codex"}, {"install --codex"}},
                      SelectionCase{"nothingTicked", {}, {}}),
    caseName);

struct RepairCase {
    const char* name;
    std::vector<AgentInstallRow> agents;
    std::vector<AuditLogEntry> seen;
    bool automation;
    std::vector<std::string> installs;
};

class FixAll : public FakeEngineStoreTest, public ::testing::WithParamInterface<RepairCase> {};

TEST_P(FixAll, RepairsWhatNeedsItOrEverythingAndReportsWhenDone) {
    const auto& c = GetParam();
    TempFolder captures;
    ScopedEnv captureDir("VARDEX_CAPTURE_DIR", c.automation ? std::optional(captures.path().string()) : std::nullopt);
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.agents = c.agents;
    store.auditEntries = c.seen;

    store.fixAll();
    EXPECT_TRUE(store.fixingAll);
    EXPECT_EQ(store.lastMessage, "Repairing…");
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("install"), c.installs);
    if (c.automation) {
        EXPECT_TRUE(callsStartingWith("daemon").empty());
    }
    EXPECT_FALSE(store.fixingAll);
    EXPECT_EQ(store.lastMessage, "Repair finished.");
    EXPECT_EQ(callsStartingWith("doctor").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Repairs, FixAll,
    ::testing::Values(
        RepairCase{"eachAgentNeedingAFix",
                   {row("cursor", Kind::cursor, true, false), row("claude", Kind::claude, true, true),
                    row("codex", Kind::codex, true, false), row("mcp", Kind::mcp, true, false)},
                   {},
                   false,
                   {"install --cursor", "install --codex"}},
        RepairCase{"toolServersSeenInTheLog",
                   {row("cursor", Kind::cursor, false, false), row("mcp", Kind::mcp, true, false)},
                   {logged(AgentKind::mcp, "s1", "h1")},
                   false,
                   {"install --mcp"}},
        RepairCase{"nothingToRepair",
                   {row("cursor", Kind::cursor, true, true), row("codex", Kind::codex, false, false)},
                   {},
                   false,
                   {"install --all"}},
        RepairCase{"automationRunsNothing", {row("cursor", Kind::cursor, true, false)}, {}, true, {}}),
    caseName);

using FixIt = FakeEngineStoreTest;

TEST_F(FixIt, WhileDisconnectedOnlyStartsProtection) {
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.agents = {row("claude", Kind::claude, true, false)};

    store.fixIt();
    harness.queue.runPending();

    EXPECT_TRUE(callsStartingWith("install").empty());
}

TEST_F(FixIt, WhileConnectedInstallsTheFirstCodingAgentNeedingIt) {
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.connected = true;
    store.agents = {row("mcp", Kind::mcp, true, false), row("cursor", Kind::cursor, false, false),
                    row("claude", Kind::claude, true, false), row("codex", Kind::codex, true, false)};

    store.fixIt();
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("install"), std::vector<std::string>{"install --claude"});
}

TEST_F(FixIt, DisconnectingAnAgentNamesItsFamily) {
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();

    store.disconnectAgent(Kind::codex);
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("connect"), std::vector<std::string>{"connect --disconnect codex"});
}

// ---- derived lists -------------------------------------------------------------------------

struct ListsCase {
    const char* name;
    std::vector<AgentInstallRow> agents;
    std::vector<AuditLogEntry> seen;
    std::set<std::string> enabled;
    std::vector<std::string> extraNames;
    std::vector<std::string> detected, undetected, needingFix, onboarding;
    std::vector<std::string> watching;
};

class DerivedLists : public FakeEngineStoreTest, public ::testing::WithParamInterface<ListsCase> {};

TEST_P(DerivedLists, FollowTheRowsAndTheAgentsSeenInTheLog) {
    const auto& c = GetParam();
    auto& store = harness.make();
    store.agents = c.agents;
    store.auditEntries = c.seen;
    store.onboardingEnabled = c.enabled;
    store.onboardingExtraNames = c.extraNames;

    EXPECT_EQ(ids(store.detectedCodingAgents()), c.detected);
    EXPECT_EQ(ids(store.undetectedCodingAgents()), c.undetected);
    EXPECT_EQ(ids(store.appsNeedingFix()), c.needingFix);
    EXPECT_EQ(ids(store.onboardingAppRows()), c.onboarding);
    EXPECT_EQ(store.watchingNames(), c.watching);
}

const std::vector<AgentInstallRow> fourRows{row("cursor", Kind::cursor, true, true), row("claude", Kind::claude, false, false),
                                            row("codex", Kind::codex, true, false), row("mcp", Kind::mcp, true, false)};

INSTANTIATE_TEST_SUITE_P(
    Cases, DerivedLists,
    ::testing::Values(
        ListsCase{"onDiskOnly", fourRows, {}, {}, {}, {"cursor", "codex"}, {"claude"}, {"codex"}, {"cursor", "codex"},
                  {"Title of cursor"}},
        ListsCase{"aToolServerAloneWatchesNoAgent",
                  {row("cursor", Kind::cursor, true, false), row("mcp", Kind::mcp, true, true)},
                  {},
                  {},
                  {},
                  {"cursor"},
                  {},
                  {"cursor"},
                  {"cursor"},
                  {}},
        ListsCase{"seenInTheLog",
                  fourRows,
                  {logged(AgentKind::claude, "s1", "a"), logged(AgentKind::mcp, "s2", "b")},
                  {},
                  {},
                  {"cursor", "claude", "codex", "mcp"},
                  {"claude"},
                  {"claude", "codex", "mcp"},
                  {"cursor", "codex", "mcp"},
                  {"Title of cursor"}},
        ListsCase{"internalSessionsDoNotCount",
                  fourRows,
                  {logged(AgentKind::claude, "Canary", "a"), logged(AgentKind::claude, "demo", "b")},
                  {},
                  {},
                  {"cursor", "codex"},
                  {"claude"},
                  {"codex"},
                  {"cursor", "codex"},
                  {"Title of cursor"}},
        ListsCase{"seenAndTickedDuringOnboarding",
                  fourRows,
                  {logged(AgentKind::claude, "s1", "a")},
                  {"claude"},
                  {},
                  {"cursor", "claude", "codex"},
                  {"claude"},
                  {"claude", "codex"},
                  {"cursor", "claude", "codex"},
                  {"Title of cursor"}},
        ListsCase{"extraNamesOnceEach",
                  fourRows,
                  {},
                  {},
                  {"Zed", "title of CURSOR", "zed", "Aider"},
                  {"cursor", "codex"},
                  {"claude"},
                  {"codex"},
                  {"cursor", "codex", "zed", "aider"},
                  {"Title of cursor"}}),
    caseName);

using ExtraAgentRows = FakeEngineStoreTest;

TEST_F(ExtraAgentRows, AreDetectedCursorRowsWithTheTypedName) {
    auto& store = harness.make();
    store.onboardingExtraNames = {"Zed Editor"};
    const std::vector<AgentInstallRow> expected{{"zed editor", "Zed Editor", true, false, "", Kind::cursor}};
    EXPECT_EQ(store.onboardingAppRows(), expected);
}

// ---- dashboard -----------------------------------------------------------------------------

// Claude Code is on disk with its hook connected; Cursor is on disk without one.
constexpr std::string_view healthyEngine = R"(case "$1 $2" in
  "doctor --json") echo '{"schema_version":1,"status":"ok","hooks":[{"agent":"claude","path":"/h","status":"ok"}]}' ;;
  "rules list") echo '{"defaults":{"ask_timeout_seconds":45,"ask_threshold":0.5},"rules":[{"id":"secrets.ssh"}]}' ;;
  "protect list") echo '[{"id":"claude-code","display_name":"Claude Code","bundle_ids":[],"cli_names":["claude"],"script_markers":[],"protect":false}]' ;;
esac
)";

using Dashboard = FakeEngineStoreTest;

TEST_F(Dashboard, RefreshReadsTheEngineAndTheDiskOffTheMainThreadAndAppliesItAll) {
    harness.writeEngine(std::string(healthyEngine));
    std::filesystem::create_directories(harness.home / ".claude");
    std::filesystem::create_directories(harness.home / ".cursor");
    AuditLogEntry entry = logged(AgentKind::cursor, "s9", "hash-1");
    writeFile(VardexPaths::auditLogURL(), json_form::encodeAuditLogEntry(entry) + "\n");
    writeFile(VardexPaths::userPolicyURL(), "version: 1\ndisable:\n  - \"net.upload\"\n");
    writeFile(VardexPaths::settingsURL(), R"({"startAtLogin":false})");
    auto& store = harness.make();
    store.exampleData = true;
    store.doctorError = "old failure";

    store.refreshDashboard();
    EXPECT_TRUE(store.refreshing);
    EXPECT_TRUE(store.agents.empty());  // applied on the main queue, not yet
    harness.queue.runPending();

    ASSERT_TRUE(store.doctor.has_value());
    EXPECT_EQ(store.doctorError, std::nullopt);
    EXPECT_EQ(ids(store.agents), (std::vector<std::string>{"cursor", "claude", "codex", "mcp"}));
    EXPECT_EQ(store.watchingNames(), std::vector<std::string>{"Claude Code"});
    EXPECT_EQ(ids(store.appsNeedingFix()), std::vector<std::string>{"cursor"});
    ASSERT_EQ(store.auditEntries.size(), 1u);
    EXPECT_EQ(store.auditEntries.front().hash, "hash-1");
    EXPECT_FALSE(store.exampleData);
    EXPECT_EQ(store.userPolicy.disable, std::vector<std::string>{"net.upload"});
    EXPECT_EQ(store.catalog.rules.size(), 1u);
    EXPECT_EQ(store.askTimeoutText, "45");
    EXPECT_EQ(store.askThresholdText, "0.50");
    EXPECT_FALSE(store.startAtLogin);
    ASSERT_EQ(store.protectApps.size(), 1u);
    EXPECT_FALSE(store.protectApps.front().protect);
    EXPECT_EQ(store.lastHealthCheck, harness.queue.now());
    EXPECT_FALSE(store.refreshing);
    EXPECT_EQ(harness.background.priorities, std::vector<WorkPriority>{WorkPriority::userInitiated});
}

TEST_F(Dashboard, AFailedHealthCheckIsShownAndAFailedListingKeepsTheOldCatalogue) {
    harness.writeEngine("echo 'engine is broken' >&2; exit 1\n");
    auto& store = harness.make();
    store.doctor = DoctorReport{};
    store.catalog.defaults.askTimeoutSeconds = 99;
    store.askTimeoutText = "99";

    store.refreshDashboard();
    harness.queue.runPending();

    EXPECT_EQ(store.doctor, std::nullopt);
    ASSERT_TRUE(store.doctorError.has_value());
    EXPECT_FALSE(store.doctorError->empty());
    EXPECT_EQ(store.catalog.defaults.askTimeoutSeconds, 99u);
    EXPECT_EQ(store.askTimeoutText, "99");
    EXPECT_EQ(store.protectApps, ProtectAppRow::catalog());
    EXPECT_FALSE(store.refreshing);
}

TEST_F(Dashboard, AReadingThatLandsLateDoesNotPutOlderStateBack) {
    const auto report = harness.home / "doctor-output";
    const auto slow = harness.home / "slow";
    const auto gate = harness.home / "gate";
    // The first listing of rules waits for the gate, so the reading it belongs to lands last.
    harness.writeEngine("case \"$1 $2\" in\n"
                        "  \"doctor --json\") cat '" + report.string() + "' ;;\n"
                        "  \"rules list\") if [ -e '" + slow.string() + "' ]; then rm '" + slow.string() +
                        "'; while [ ! -e '" + gate.string() + "' ]; do sleep 0.01; done; fi; echo '{}' ;;\n"
                        "esac\n");
    writeFile(report, R"({"schema_version":1,"status":"warning","hooks":[]})");
    writeFile(slow, "");
    ThreadBackground threads;
    auto store = makeWith(threads);

    store->refreshDashboard();
    for (int i = 0; i < 500 && std::filesystem::exists(slow); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(std::filesystem::exists(slow)) << "the first reading never reached the rules";
    writeFile(report, R"({"schema_version":1,"status":"ok","hooks":[]})");
    store->refreshDashboard();
    ASSERT_TRUE(harness.queue.runUntil([&] { return store->doctor && store->doctor->status == DoctorStatus::ok; }));
    writeFile(gate, "");
    threads.drain();
    harness.queue.runPending();

    ASSERT_TRUE(store->doctor);
    EXPECT_EQ(store->doctor->status, DoctorStatus::ok);
    EXPECT_FALSE(store->refreshing);
}

TEST_F(Dashboard, ResultsArrivingAfterTheStoreIsGoneAreDropped) {
    harness.writeEngine(std::string(healthyEngine));
    // Applying a refresh takes this notice away and tells the user.
    const auto notice = VardexPaths::supportDirectory() / "ne-deny.json";
    writeFile(notice, "{}");
    HeldBackground held;
    auto store = makeWith(held);
    store->refreshDashboard();
    store.reset();

    for (auto& task : held.held) task();
    EXPECT_NO_FATAL_FAILURE(harness.queue.runPending());
    EXPECT_TRUE(std::filesystem::exists(notice));
    EXPECT_TRUE(harness.notifier.posted.empty());
}

TEST_F(Dashboard, OnboardingSelectionTicksTheAgentsFoundBeforeTheRefreshLands) {
    harness.writeEngine(std::string(healthyEngine));
    auto& store = harness.make();
    store.agents = {row("cursor", Kind::cursor, true, false), row("claude", Kind::claude, false, false),
                    row("codex", Kind::codex, true, true), row("mcp", Kind::mcp, true, false)};

    store.prepareOnboardingSelection();
    EXPECT_EQ(store.onboardingEnabled, (std::set<std::string>{"cursor", "codex"}));
    harness.queue.runPending();
    EXPECT_EQ(store.onboardingEnabled, (std::set<std::string>{"cursor", "codex"}));

    store.onboardingEnabled = {"claude"};
    store.prepareOnboardingSelection();
    harness.queue.runPending();
    EXPECT_EQ(store.onboardingEnabled, std::set<std::string>{"claude"});
    EXPECT_EQ(callsStartingWith("doctor").size(), 2u);
}

struct SetupLinkCase {
    std::string link;
    bool opened;
};

class OpenSetupLink : public FakeEngineStoreTest, public ::testing::WithParamInterface<SetupLinkCase> {};

TEST_P(OpenSetupLink, OpensOnlyAUrlButAlwaysProbesAgain) {
    harness.writeEngine(std::string(healthyEngine));
    auto& store = harness.make();
    store.macSetup = {true, true, true};
    store.protectApps.clear();

    store.openSetupLink(GetParam().link);
    harness.queue.runPending();

    EXPECT_EQ(harness.windows.urls, GetParam().opened ? std::vector{GetParam().link} : std::vector<std::string>{});
    EXPECT_EQ(store.macSetup, MacSetupStatus::probe());
    EXPECT_FALSE(store.macSetup.networkFilter);
    EXPECT_EQ(store.protectApps.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Links, OpenSetupLink,
                         ::testing::Values(SetupLinkCase{std::string(MacSetupStatus::fullDiskAccessLink), true},
                                           SetupLinkCase{"https://example.org/setup?step=2", true},
                                           SetupLinkCase{"not a link", false}, SetupLinkCase{"", false},
                                           SetupLinkCase{"1http://x", false}));

using FinishOnboarding = FakeEngineStoreTest;

TEST_F(FinishOnboarding, GuardsTheDefaultFoldersAndOpensTheDashboard) {
    ScopedEnv noAutostart("VARDEX_NO_AUTOSTART", "1");
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();

    store.finishOnboarding();
    harness.queue.runPending();

    EXPECT_EQ(store.userPolicy.folders().size(), OnboardingFolders::defaultGuardPaths().size());
    EXPECT_EQ(harness.windows.opened, std::vector<std::string>{"dashboard"});
    EXPECT_TRUE(callsStartingWith("daemon").empty());
    EXPECT_TRUE(callsStartingWith("install").empty());
}

}  // namespace
}  // namespace vardex::testing
