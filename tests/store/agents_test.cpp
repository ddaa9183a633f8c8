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
using Strings = std::vector<std::string>;

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
    return nlohmann::json::parse(readFile(VardexPaths::settingsURL()).value_or(""), nullptr, false);
}

Strings ids(const std::vector<AgentInstallRow>& rows) {
    Strings out;
    for (const auto& r : rows) out.push_back(r.id);
    return out;
}

// ---- auto-connect ----------------------------------------------------------------------------

struct ScanCase { const char* name; bool consented; std::optional<std::string> skipConsent, skipOnboarding; bool autoProtectNew, scans; };

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

    EXPECT_EQ(harness.engineCalls(), c.scans ? Strings{"connect --json"} : Strings{});
    EXPECT_EQ(harness.background.priorities, c.scans ? std::vector{WorkPriority::utility} : std::vector<WorkPriority>{});
}

INSTANTIATE_TEST_SUITE_P(Guards, AutoConnectScan, ::testing::Values(
    ScanCase{"noConsentYet", false, {}, {}, true, false},
    ScanCase{"consented", true, {}, {}, true, true},
    ScanCase{"consentSwitchedOff", false, "1", {}, true, true},
    ScanCase{"consentSwitchNotExactlyOne", false, "true", {}, true, false},
    ScanCase{"autoProtectOff", true, {}, {}, false, false},
    ScanCase{"onboardingSkipped", true, {}, "1", true, false}), caseName);

TEST_F(FakeEngineStoreTest, AutoConnectScansAfterASecondAndAFifthThenEveryEightSecondsWhileTheStoreLives) {
    ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    harness.writeEngine(std::string(quietEngine));
    harness.make().startAutoConnectWatch();

    const auto scansAfter = [&](double seconds) {
        harness.queue.advance(seconds);
        return harness.engineCalls().size();
    };
    EXPECT_EQ(scansAfter(1.1), 0u);
    EXPECT_EQ(scansAfter(0.1), 1u);  // 1.2 s
    EXPECT_EQ(scansAfter(6.7), 1u);  // 7.9 s
    EXPECT_EQ(scansAfter(0.1), 2u);  // 8 s
    EXPECT_EQ(scansAfter(8.0), 3u);  // 16 s
    harness.storePointer().reset();
    EXPECT_EQ(scansAfter(20.0), 3u);
}

// `announced`: the names of the agents the notices tell of.
struct ConnectResultCase { const char* name; Result<CliResult, CliError> run; Strings announced; std::optional<std::string> lastMessage; bool autoProtectNewAfter; };

CliResult printed(std::string out, std::int32_t exitCode = 0, std::string err = "") { return {exitCode, std::move(out), std::move(err)}; }

class ConnectResult : public FakeEngineStoreTest, public ::testing::WithParamInterface<ConnectResultCase> {};

TEST_P(ConnectResult, AnnouncesNewlyProtectedAgentsAndFollowsTheEnginesSwitch) {
    const auto& c = GetParam();
    auto& store = harness.make();

    store.noteConnectResult(c.run);

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
        ConnectResultCase{"otherSentencesSkipped",
                          printed(R"({"notifications":["Scanned 3 apps","Now protecting Codex","Now protecting Claude Code"]})"),
                          {"Codex", "Claude Code"}, "Now protecting Claude Code", true},
        ConnectResultCase{"failedRunStillRead", printed(R"({"auto_protect_new":false,"notifications":["Now protecting Zed"]})", 2),
                          {"Zed"}, "Now protecting Zed", false},
        ConnectResultCase{"warningSpoilsTheJSON", printed(R"({"auto_protect_new":false})", 0, "warning: slow disk"), {}, {}, true},
        ConnectResultCase{"engineCouldNotRun", fail(CliError::spawnFailed("no such file")), {}, {}, true}),
    caseName);

TEST_F(FakeEngineStoreTest, ConsentIsRecordedThenTheEngineConnectsAndTheDashboardFollows) {
    harness.writeEngine(R"(case "$1" in
  connect) echo '{"notifications":["Now protecting Cursor"]}' ;;
  doctor) echo '{}' ;;
esac)");
    auto& store = harness.make();

    // The consent screen's button reaching the engine is the main window's test.
    store.acceptConnectConsent();
    EXPECT_EQ(settingsFile(), nlohmann::json::parse(R"({"connectConsented":true,"firstLaunchCompleted":true})"));
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("doctor"), Strings{"doctor --json"});
    EXPECT_EQ(harness.notifier.posted, std::vector{VardexNotifications::nowProtecting("Cursor")});
    EXPECT_EQ(store.lastMessage, "Now protecting Cursor");
    EXPECT_FALSE(store.refreshing);

    // Switching auto-protect off is saved and told to the engine, which is then read again.
    store.setAutoProtectNew(false);
    harness.queue.runPending();
    EXPECT_EQ(settingsFile()["autoProtectNew"], false);
    EXPECT_EQ(callsStartingWith("connect --auto-protect"), Strings{"connect --auto-protect off --json"});
    EXPECT_EQ(callsStartingWith("doctor").size(), 2u);
}

// ---- onboarding and repairs ------------------------------------------------------------------

TEST_F(FakeEngineStoreTest, OnboardingTicksTheAgentsFoundInstallsTheTickedFamiliesInTheirFixedOrderAndFinishes) {
    ScopedEnv noAutostart("VARDEX_NO_AUTOSTART", "1");
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.agents = {row("cursor", Kind::cursor, true, false), row("claude", Kind::claude, false, false),
                    row("codex", Kind::codex, true, true), row("mcp", Kind::mcp, true, false)};

    // Ticked from the rows on screen, before the refresh it starts lands.
    store.prepareOnboardingSelection();
    EXPECT_EQ(store.onboardingEnabled, (std::set<std::string>{"cursor", "codex"}));
    store.onboardingEnabled.insert({"zed", "claude", "gemini"});
    store.protectSelectedApps();
    EXPECT_TRUE(store.busy);
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("install"),
              (Strings{"install --cursor", "install --claude", "install --codex", "install --gemini"}));
    EXPECT_FALSE(store.busy);
    EXPECT_EQ(store.onboardingStep, 3);
    EXPECT_EQ(store.userPolicy.folders().size(), OnboardingFolders::defaultGuardPaths().size());

    store.finishOnboarding();
    harness.queue.runPending();
    EXPECT_EQ(store.userPolicy.folders().size(), OnboardingFolders::defaultGuardPaths().size());
    EXPECT_EQ(harness.windows.opened, Strings{"dashboard"});
}

struct RepairCase { const char* name; std::vector<AgentInstallRow> agents; std::vector<AuditLogEntry> seen; bool automation; Strings installs; };

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
    EXPECT_EQ(callsStartingWith("daemon").empty(), c.automation);
    EXPECT_FALSE(store.fixingAll);
    EXPECT_EQ(store.lastMessage, "Repair finished.");
    EXPECT_EQ(callsStartingWith("doctor").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Repairs, FixAll,
    ::testing::Values(RepairCase{"eachAgentNeedingAFix",
                                 {row("cursor", Kind::cursor, true, false), row("claude", Kind::claude, true, true),
                                  row("codex", Kind::codex, true, false), row("mcp", Kind::mcp, true, false)},
                                 {}, false, {"install --cursor", "install --codex"}},
                      RepairCase{"automationRunsNothing", {row("cursor", Kind::cursor, true, false)}, {}, true, {}}),
    caseName);

class FixIt : public FakeEngineStoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FixIt, WhileConnectedInstallsTheFirstCodingAgentNeedingItAndOtherwiseOnlyStartsProtection) {
    const bool connected = GetParam();
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.connected = connected;
    store.agents = {row("mcp", Kind::mcp, true, false), row("cursor", Kind::cursor, false, false),
                    row("claude", Kind::claude, true, false), row("codex", Kind::codex, true, false)};

    store.fixIt();
    harness.queue.runPending();

    EXPECT_EQ(callsStartingWith("install"), connected ? Strings{"install --claude"} : Strings{});
}

INSTANTIATE_TEST_SUITE_P(Connection, FixIt, ::testing::Bool(),
                         [](const auto& test) { return std::string(test.param ? "connected" : "disconnected"); });

// ---- derived lists ---------------------------------------------------------------------------

struct ListsCase { const char* name; std::vector<AgentInstallRow> agents; std::vector<AuditLogEntry> seen; std::set<std::string> enabled;
                   Strings extraNames, detected, undetected, needingFix, onboarding, watching; };

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
const Strings cursorWatched{"Title of cursor"};

// Columns: detected, undetected, needing a fix, onboarding rows, watching. With nothing in the
// log the rows on disk alone count, as in the internal-sessions row.
INSTANTIATE_TEST_SUITE_P(
    Cases, DerivedLists,
    ::testing::Values(
        ListsCase{"aToolServerAloneWatchesNoAgent", {row("cursor", Kind::cursor, true, false), row("mcp", Kind::mcp, true, true)},
                  {}, {}, {}, {"cursor"}, {}, {"cursor"}, {"cursor"}, {}},
        ListsCase{"seenInTheLog", fourRows, {logged(AgentKind::claude, "s1", "a"), logged(AgentKind::mcp, "s2", "b")}, {}, {},
                  {"cursor", "claude", "codex", "mcp"}, {"claude"}, {"claude", "codex", "mcp"}, {"cursor", "codex", "mcp"},
                  cursorWatched},
        ListsCase{"internalSessionsDoNotCount", fourRows,
                  {logged(AgentKind::claude, "Canary", "a"), logged(AgentKind::claude, "demo", "b")}, {}, {},
                  {"cursor", "codex"}, {"claude"}, {"codex"}, {"cursor", "codex"}, cursorWatched},
        ListsCase{"extraNamesOnceEach", fourRows, {}, {}, {"Zed", "title of CURSOR", "zed", "Aider"}, {"cursor", "codex"},
                  {"claude"}, {"codex"}, {"cursor", "codex", "zed", "aider"}, cursorWatched}),
    caseName);

// ---- dashboard -------------------------------------------------------------------------------
// The activity log and the policy file are read on the roads, beside the real engine.

// Claude Code is on disk with its hook connected; Cursor is on disk without one.
constexpr std::string_view healthyEngine = R"(case "$1 $2" in
  "doctor --json") echo '{"schema_version":1,"status":"ok","hooks":[{"agent":"claude","path":"/h","status":"ok"}]}' ;;
  "rules list") echo '{"defaults":{"ask_timeout_seconds":45,"ask_threshold":0.5},"rules":[{"id":"secrets.ssh"}]}' ;;
  "protect list") echo '[{"id":"claude-code","display_name":"Claude Code","bundle_ids":[],"cli_names":["claude"],"script_markers":[],"protect":false}]' ;;
esac
)";

using Dashboard = FakeEngineStoreTest;

TEST_F(Dashboard, RefreshReadsTheEngineAndTheDiskOffTheMainThreadAndAppliesItAll) {
    const auto engine = harness.writeEngine(std::string(healthyEngine));
    std::filesystem::create_directories(harness.home / ".claude");
    std::filesystem::create_directories(harness.home / ".cursor");
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
    EXPECT_EQ(ids(store.agents), (Strings{"cursor", "claude", "codex", "gemini", "mcp"}));
    EXPECT_EQ(store.watchingNames(), Strings{"Claude Code"});
    EXPECT_EQ(ids(store.appsNeedingFix()), Strings{"cursor"});
    EXPECT_FALSE(store.exampleData);
    EXPECT_EQ(store.catalog.rules.size(), 1u);
    EXPECT_EQ(store.askTimeoutText, "45");
    EXPECT_FALSE(store.startAtLogin);
    ASSERT_EQ(store.protectApps.size(), 1u);
    EXPECT_FALSE(store.protectApps.front().protect);
    EXPECT_EQ(store.lastHealthCheck, harness.queue.now());
    EXPECT_FALSE(store.refreshing);
    EXPECT_EQ(harness.background.priorities, std::vector<WorkPriority>{WorkPriority::userInitiated});

    // A failed health check is shown; a failed listing keeps the catalogue already read.
    writeScript(engine, "echo 'engine is broken' >&2; exit 1");
    store.refreshDashboard();
    harness.queue.runPending();
    EXPECT_EQ(store.doctor, std::nullopt);
    EXPECT_FALSE(store.doctorError.value_or("").empty());
    EXPECT_EQ(store.askTimeoutText, "45");
    EXPECT_EQ(store.catalog.rules.size(), 1u);
    EXPECT_EQ(store.protectApps, ProtectAppRow::catalog());
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

struct SetupLinkCase { const char* name; std::string link; bool opened; };

class OpenSetupLink : public FakeEngineStoreTest, public ::testing::WithParamInterface<SetupLinkCase> {};

TEST_P(OpenSetupLink, OpensOnlyAUrlButAlwaysProbesAgain) {
    harness.writeEngine(std::string(healthyEngine));
    auto& store = harness.make();
    store.macSetup = {true, true, true};
    store.protectApps.clear();

    store.openSetupLink(GetParam().link);
    harness.queue.runPending();

    EXPECT_EQ(harness.windows.urls, GetParam().opened ? Strings{GetParam().link} : Strings{});
    EXPECT_EQ(store.macSetup, MacSetupStatus::probe());
    EXPECT_FALSE(store.macSetup.networkFilter);
    EXPECT_EQ(store.protectApps.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Links, OpenSetupLink,
                         ::testing::Values(SetupLinkCase{"webLink", "https://example.org/setup?step=2", true},
                                           SetupLinkCase{"schemeStartsWithADigit", "1http://x", false}),
                         caseName);

}  // namespace
}  // namespace vardex::testing
