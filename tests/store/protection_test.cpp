#include <sys/wait.h>

#include <fstream>

#include <date/date.h>
#include <gtest/gtest.h>

#include "bridge/agent_stop.hpp"
#include "bridge/vardex_paths.hpp"
#include "service/service_backend.hpp"
#include "service/service_home.hpp"
#include "support/fake_engine_store.hpp"

namespace vardex::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> eventLog(const VardexStore& store) { return readLines(store.logURL); }

// An event-log line as the store writes it at the queue's current time: `text` with "TS" in
// place of the time stamp.
std::string logLine(const ManualQueue& queue, std::string text) {
    const auto ts = date::format("%FT%TZ", std::chrono::floor<std::chrono::seconds>(queue.now()));
    return text.replace(text.find("TS"), 2, ts);
}

PendingAsk waitingAsk(const std::string& id, TimePoint deadline) {
    PendingAsk ask;
    ask.request.id = id;
    ask.request.actionSummary = "cat ~/.ssh/" + id;
    ask.request.agent.agent = AgentKind::codex;
    ask.request.agent.sessionId = "session-" + id;
    ask.deadline = deadline;
    return ask;
}

AgentInstallRow installedAgent() { return {"claude", "Claude Code", true, true, "", AgentInstallRow::Kind::claude}; }

std::int64_t wholeSeconds(TimePoint when) {
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

// ---- the status file ---------------------------------------------------------------------

struct StatusCase { const char* name; bool connected, watching, paused; int waiting, feedEntries; bool starting;
                    std::optional<std::string> doctorError, setupError; std::string expected; };

class StatusFileTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusFileTest, HoldsTheStoreStateAsCompactJSON) {
    const auto& c = GetParam();
    StoreHarness harness;
    const auto statusFile = harness.home / "status.json";
    ScopedEnv status("VARDEX_STATUS_FILE", statusFile.string());
    auto& store = harness.make();
    store.connected = c.connected;
    if (c.watching) store.agents = {installedAgent()};
    if (c.paused) store.pausedUntil = store.now + std::chrono::seconds(10);
    for (int i = 0; i < c.waiting; ++i) store.pending.push_back(waitingAsk(std::to_string(i), store.now));
    store.feed.resize(static_cast<std::size_t>(c.feedEntries));
    store.startingProtection = c.starting;
    store.doctorError = c.doctorError;
    store.setupError = c.setupError;

    store.writeStatusFile();

    EXPECT_EQ(readFile(statusFile), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, StatusFileTest,
    ::testing::Values(
        StatusCase{"protected", true, true, false, 0, 4, false, {}, {},
                   R"({"connected":true,"doctorError":null,"feed":4,"icon":"protected","paused":false,"pending":0,"setupError":null,"starting":false,"title":"Protected"})"},
        StatusCase{"questionsWaiting", true, true, false, 2, 1, true, "doctor failed", "Protection did not start.",
                   R"({"connected":true,"doctorError":"doctor failed","feed":1,"icon":"promptPending","paused":false,"pending":2,"setupError":"Protection did not start.","starting":true,"title":"Needs your answer"})"},
        StatusCase{"pausedWins", true, true, true, 0, 0, false, {}, {},
                   R"({"connected":true,"doctorError":null,"feed":0,"icon":"paused","paused":true,"pending":0,"setupError":null,"starting":false,"title":"Paused"})"},
        StatusCase{"freshWithEngineTextNotUTF8", false, false, false, 0, 0, false, "bad \xff byte", {},
                   "{\"connected\":false,\"doctorError\":\"bad \xEF\xBF\xBD byte\",\"feed\":0,\"icon\":\"notProtected\","
                   "\"paused\":false,\"pending\":0,\"setupError\":null,\"starting\":false,\"title\":\"Not protected\"}"}),
    caseName);

// ---- the pause ---------------------------------------------------------------------------

// The pause outliving a restart of the app is a road of its own; reading the record back is below.
TEST(PauseRoad, IsRecordedAndEndsOnTheFirstTickAfterTheHour) {
    StoreHarness harness;
    harness.queue.advance(0.25);
    const auto began = harness.queue.now();
    const auto record = VardexPaths::pauseStateURL();
    auto& store = harness.make();
    store.confirmPause = true;
    store.confirmPauseForOneHour();
    EXPECT_FALSE(store.confirmPause);
    EXPECT_EQ(readFile(record), "{\"until\":" + std::to_string(wholeSeconds(began) + 3600) + ".25}");

    harness.queue.advance(3599.5);
    store.tick();
    EXPECT_TRUE(store.isPaused());
    EXPECT_TRUE(fs::exists(record));
    harness.queue.advance(0.5);
    store.tick();
    EXPECT_FALSE(store.pausedUntil);
    EXPECT_FALSE(fs::exists(record));
    EXPECT_EQ(store.pauseRemainingSeconds(), 0);
}

// In `content`, "FUTURE" and "PAST" stand for a moment an hour from now or ago, in seconds since 1970.
struct RecordCase { const char* name; std::string content; bool paused; };

class PauseRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(PauseRecordTest, OnlyAFutureNumberPausesAndTheRecordIsLeftAlone) {
    auto content = GetParam().content;
    StoreHarness harness;
    const auto nowSeconds = wholeSeconds(harness.queue.now());
    for (const auto& [word, seconds] : {std::pair{"FUTURE", nowSeconds + 3600}, std::pair{"PAST", nowSeconds - 3600}}) {
        if (const auto at = content.find(word); at != std::string::npos) content.replace(at, std::string(word).size(), std::to_string(seconds));
    }
    writeFile(VardexPaths::pauseStateURL(), content);

    auto& store = harness.make();

    EXPECT_EQ(store.isPaused(), GetParam().paused);
    EXPECT_EQ(store.pauseRemainingSeconds(), GetParam().paused ? 3600 : 0);
    EXPECT_EQ(readFile(VardexPaths::pauseStateURL()), content);
}

INSTANTIATE_TEST_SUITE_P(
    Records, PauseRecordTest,
    ::testing::Values(RecordCase{"future", R"({"until":FUTURE})", true},
                      RecordCase{"futureWithFraction", R"({"until":FUTURE.0,"other":1})", true},
                      RecordCase{"past", R"({"until":PAST.5})", false},
                      RecordCase{"untilAsText", R"({"until":"FUTURE"})", false},
                      RecordCase{"beyondTheClock", R"({"until":1e300})", false}),
    caseName);

TEST(PauseRemaining, RoundsUpAndNeverGoesBelowZero) {
    StoreHarness harness;
    auto& store = harness.make();
    for (const auto& [left, expected] : {std::pair{59.2, 60}, {0.001, 1}, {-0.5, 0}}) {
        store.pausedUntil = store.now + std::chrono::duration_cast<TimePoint::duration>(Seconds(left));
        EXPECT_EQ(store.pauseRemainingSeconds(), expected) << left;
    }
}

TEST(Pause, RefusesEveryWaitingApprovalInOrderForTheMenuBar) {
    StoreHarness harness;
    auto& store = harness.make();
    for (const auto* id : {"a", "b", "c"}) store.pending.push_back(waitingAsk(id, store.now + std::chrono::seconds(30)));

    store.confirmPauseForOneHour();

    EXPECT_TRUE(store.pending.empty());
    std::vector<std::string> expected{logLine(harness.queue, R"({"event":"pause","minutes":60,"reason":"user","ts":"TS"})")};
    for (const auto* id : {"a", "b", "c"}) {
        expected.push_back(logLine(harness.queue, std::string(R"({"agent":"codex","by":"menubar","event":"decision","id":")") +
                                                      id + R"(","ts":"TS","verdict":"deny"})"));
    }
    EXPECT_EQ(eventLog(store), expected);
    ASSERT_EQ(store.feed.size(), 3u);
    for (const auto& entry : store.feed) EXPECT_EQ(entry.decision, Outcome::deny);
}

TEST(Pause, ResumeClearsTheEmergencyStopFirst) {
    StoreHarness harness;
    auto& store = harness.make();
    store.confirmPauseForOneHour();
    store.v3StopNow();
    ASSERT_TRUE(store.agentsStopped);

    store.resumeProtection();

    EXPECT_FALSE(store.agentsStopped);
    EXPECT_FALSE(AgentStop::isStopped(AgentStop::flagURL()));
    EXPECT_EQ(store.v3StopMessage, "Resumed. Vardex is checking again.");
    EXPECT_FALSE(store.pausedUntil);
    EXPECT_FALSE(fs::exists(VardexPaths::pauseStateURL()));
    EXPECT_EQ(eventLog(store).back(), logLine(harness.queue, R"({"event":"resume","ts":"TS"})"));
}

// ---- the emergency stop ------------------------------------------------------------------

struct StopCase { const char* name; int waiting; bool flagWritable; bool stopped; std::string message; };

class EmergencyStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(EmergencyStopTest, RefusesWhatWaitsAndSetsTheFlag) {
    const auto& c = GetParam();
    StoreHarness harness;
    writeFile(harness.home / "blocker", "");
    std::optional<ScopedEnv> state;
    if (!c.flagWritable) state.emplace("VARDEX_STATE_DIR", (harness.home / "blocker" / "state").string());
    auto& store = harness.make();
    for (int i = 0; i < c.waiting; ++i) store.pending.push_back(waitingAsk(std::to_string(i), store.now + std::chrono::seconds(30)));

    store.v3StopNow();

    EXPECT_TRUE(store.pending.empty());
    EXPECT_EQ(store.agentsStopped, c.stopped);
    EXPECT_EQ(AgentStop::isStopped(AgentStop::flagURL()), c.stopped);
    EXPECT_EQ(store.v3StopMessage, c.message);
    EXPECT_TRUE(store.v3ConfirmStopAgent);
    EXPECT_EQ(eventLog(store).back(),
              logLine(harness.queue, "{\"count\":" + std::to_string(c.waiting) + ",\"event\":\"stop\",\"flag\":" +
                                         (c.stopped ? "true" : "false") + ",\"ts\":\"TS\"}"));
}

INSTANTIATE_TEST_SUITE_P(
    Flags, EmergencyStopTest,
    ::testing::Values(StopCase{"twoWaiting", 2, true, true, "Stopped. New actions are blocked until you tap Resume."},
                      StopCase{"flagUnwritableNothingWaiting", 0, false, false, "Nothing is waiting right now."},
                      StopCase{"flagUnwritableTwoWaiting", 2, false, false, "Stopped. Nothing was allowed."}),
    caseName);

TEST(EmergencyStop, AFlagThatCannotBeRemovedKeepsTheStopAndItsMessage) {
    StoreHarness harness;
    auto& store = harness.make();
    store.v3StopNow();
    fs::remove(AgentStop::flagURL());
    writeFile(AgentStop::flagURL() / "inside", "a folder the app will not remove");

    store.v3Resume();

    EXPECT_TRUE(store.agentsStopped);
    EXPECT_FALSE(store.v3ConfirmStopAgent);
    EXPECT_EQ(store.v3StopMessage, "Stopped. New actions are blocked until you tap Resume.");
    EXPECT_EQ(eventLog(store).back(), logLine(harness.queue, R"({"event":"resume","ts":"TS"})"));
}

TEST(EmergencyStop, ClosingAgentsWhenNoneRunSaysSo) {
    // The process list is the real one: never run this where an agent could be terminated.
    if (!AgentStop::runningAgents().empty()) GTEST_SKIP() << "a coding agent is running on this machine";
    StoreHarness harness;
    auto& store = harness.make();
    store.v3ConfirmStopAgent = true;

    store.v3StopRunningAgents();

    EXPECT_FALSE(store.v3ConfirmStopAgent);
    EXPECT_EQ(store.v3StopMessage, "No running AI app found.");
    EXPECT_EQ(eventLog(store).back(), logLine(harness.queue, R"({"count":0,"event":"stop_agents","ts":"TS"})"));
}

// ---- turning protection on and off -------------------------------------------------------

bool pythonAvailable() { return std::system("command -v python3 >/dev/null 2>&1") == 0; }

// An absent `engine`: no engine anywhere.
struct StartCase { const char* name; std::optional<std::string> engine; bool blockSupportFolder; std::optional<std::string> setupError; };

class StartProtectionTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartProtectionTest, ShowsTheSentenceForHowTheStartEnded) {
    const auto& c = GetParam();
    StoreHarness harness;
    // Without an engine of its own the search path must not find one either.
    std::optional<ScopedEnv> path;
    if (!c.engine) path.emplace("PATH", (harness.home / "no-engine-here").string());
    const auto pidFile = harness.home / "daemon.pid";
    const bool daemon = c.engine == "python daemon";
    if (daemon && !pythonAvailable()) GTEST_SKIP() << "python3 is needed for the test daemon";
    // Only "daemon" runs the daemon; the health report and other runs end at once.
    if (c.engine) harness.writeEngine(daemon ? "if [ \"$1\" = daemon ]; then\n" + pythonDaemon(pidFile) + "\nfi\nexit 0" : *c.engine);
    // A file where the support folder's first folder under home would go.
    if (c.blockSupportFolder) writeFile(harness.home.path() / *VardexPaths::supportDirectory().lexically_relative(harness.home.path()).begin(), "");
    harness.options.service.timeouts = daemon ? patientTimeouts() : quickTimeouts();
    auto& store = harness.make();
    store.setupError = "an old failure";

    store.startProtection();

    EXPECT_TRUE(store.startingProtection);
    harness.queue.runPending();
    EXPECT_FALSE(store.startingProtection);
    EXPECT_EQ(store.setupError, c.setupError);
    const auto started = logLine(harness.queue, R"({"event":"start_protection","skip_launchctl":"1","ts":"TS"})");
    EXPECT_EQ(eventLog(store), c.setupError ? std::vector<std::string>{} : std::vector<std::string>{started});
    if (c.engine && !c.blockSupportFolder) {
        const auto calls = harness.engineCalls();
        ASSERT_FALSE(calls.empty());
        // The daemon hears which app's answers count: this one.
        EXPECT_EQ(calls.front(), "daemon --foreground --app-executable " + VardexPaths::runningExecutable()->string());
    }

    if (daemon) {
        std::ifstream in(pidFile);
        pid_t pid = 0;
        in >> pid;
        store.connected = true;
        store.stopProtection();
        EXPECT_TRUE(store.busy);
        harness.queue.runPending();
        EXPECT_FALSE(store.busy);
        EXPECT_FALSE(store.connected);
        EXPECT_EQ(store.lastMessage, "Protection is off.");
        EXPECT_FALSE(probeSocket(VardexPaths::socketPath(), std::chrono::milliseconds(200)));
        int status = 0;
        EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1) << "the daemon was not collected";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Engines, StartProtectionTest,
    ::testing::Values(
        StartCase{"engineMissing", {}, false, "Part of Vardex is missing. Please reinstall it from the download."},
        StartCase{"engineExitsAtOnce", "exit 0", false, "Protection did not start. Try Turn on protection again."},
        StartCase{"supportFolderRefused", "exit 0", true, "Could not turn protection on. Try again."},
        StartCase{"daemonAnswers", "python daemon", false, {}}),
    caseName);

// ---- start at login ----------------------------------------------------------------------

struct LoginCase { const char* name; bool on, engine, blockServiceFolder; std::optional<std::string> lastMessage, setupError; };

class StartAtLoginTest : public ::testing::TestWithParam<LoginCase> {};

TEST_P(StartAtLoginTest, RecordsTheChoiceAndSaysHowItWent) {
    const auto& c = GetParam();
    StoreHarness harness;
    ScopedEnv path("PATH", (harness.home / "no-engine-here").string());
    if (c.engine) harness.writeEngine("exit 0");
    if (c.blockServiceFolder) writeFile(serviceDescriptionURL().parent_path(), "");
    writeFile(VardexPaths::settingsURL(), R"({"connectConsented":true})");
    auto& store = harness.make();
    store.startAtLogin = !c.on;

    store.setStartAtLogin(c.on);
    EXPECT_TRUE(store.changingStartAtLogin);
    harness.queue.runPending();

    EXPECT_FALSE(store.changingStartAtLogin);
    EXPECT_EQ(store.startAtLogin, c.on);
    EXPECT_EQ(store.lastMessage, c.lastMessage);
    EXPECT_EQ(store.setupError, c.setupError);
    EXPECT_EQ(readFile(VardexPaths::settingsURL()),
              std::string(R"({"connectConsented":true,"startAtLogin":)") + (c.on ? "true" : "false") + "}");
}

INSTANTIATE_TEST_SUITE_P(
    Choices, StartAtLoginTest,
    ::testing::Values(
        LoginCase{"on", true, true, false, "Will start at login.", {}},
        LoginCase{"engineMissing", true, false, false, {}, "Part of Vardex is missing. Please reinstall it from the download."},
        LoginCase{"serviceFileRefused", false, true, true, {}, "Could not change the login setting."}),
    caseName);

// Choices made while one is being handed to the service manager wait for it: one hand-over at a
// time, so however the runs end, the service holds the last choice.
struct LoginOrderCase { const char* name; std::vector<bool> choices; };

class StartAtLoginOrder : public ::testing::TestWithParam<LoginOrderCase> {};

TEST_P(StartAtLoginOrder, QuickChoicesRunOneAtATimeAndTheLastOneStays) {
    const auto& c = GetParam();
    StoreHarness harness;
    HeldBackground held;
    harness.storeBackground = &held;
    harness.writeEngine("exit 0");
    auto& store = harness.make();

    for (const bool on : c.choices) store.setStartAtLogin(on);
    int handOvers = 0;
    while (!held.held.empty()) {
        ASSERT_EQ(held.held.size(), 1u) << "two hand-overs ran side by side";
        auto run = std::move(held.held.back());
        held.held.pop_back();
        run();
        harness.queue.runPending();
        ++handOvers;
    }

    EXPECT_FALSE(store.changingStartAtLogin);
    EXPECT_EQ(store.startAtLogin, c.choices.back());
    EXPECT_LE(handOvers, 2);
    const auto settings = nlohmann::json::parse(readFile(VardexPaths::settingsURL()).value_or("{}"));
    EXPECT_EQ(settings.at("startAtLogin"), c.choices.back());
}

INSTANTIATE_TEST_SUITE_P(
    Choices, StartAtLoginOrder,
    ::testing::Values(LoginOrderCase{"offThenOn", {false, true}}, LoginOrderCase{"onOffOnOff", {true, false, true, false}}),
    caseName);

// ---- removing everything -----------------------------------------------------------------

TEST(UninstallAll, AlsoRemovesTheToolServersDirectly) {
    StoreHarness harness;
    harness.writeEngine("exit 0");
    auto& store = harness.make();
    store.confirmUninstallAll = true;

    store.uninstallAll();
    harness.queue.runPending();

    EXPECT_FALSE(store.confirmUninstallAll);
    const auto calls = harness.engineCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "uninstall --mcp"), calls.end());
}

}  // namespace
}  // namespace vardex::testing
