#include <gtest/gtest.h>

#include "bridge/cli_result.hpp"
#include "bridge/vardex_cli.hpp"
#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

const std::string missingEngine = CliError::binaryMissing().description();

// Engine runs against fake engines: a shell script standing in for `vardex`, or none at all.
// `engine`: the script's body; absent: no engine anywhere.
struct EngineCase { const char* name; std::optional<std::string> engine; std::string expected; };

std::string messageOf(const std::optional<std::string>& message) { return message.value_or("<absent>"); }

class RunCli : public ::testing::TestWithParam<EngineCase> {};

TEST_P(RunCli, ShowsTheBusyLabelThenTheOutcome) {
    const auto& row = GetParam();
    StoreHarness harness;
    ScopedEnv path("PATH", (harness.home / "empty-path").string());
    if (row.engine) harness.writeEngine(*row.engine);
    auto& store = harness.make();

    store.disconnectAgent(AgentInstallRow::Kind::cursor);
    EXPECT_TRUE(store.busy);
    EXPECT_EQ(messageOf(store.lastMessage), "Disconnecting…");
    harness.queue.runPending();

    EXPECT_FALSE(store.busy);
    EXPECT_EQ(messageOf(store.lastMessage), row.expected);
    EXPECT_EQ(harness.background.priorities.front(), WorkPriority::userInitiated);
    if (row.engine) { EXPECT_EQ(harness.engineCalls().front(), "connect --disconnect cursor"); }
}

INSTANTIATE_TEST_SUITE_P(
    Engine, RunCli,
    ::testing::Values(EngineCase{"SilentIsDone", "exit 0", "Done."},
                      EngineCase{"FailureStillShowsOutput", "echo '  removed ' ; echo 'warn' >&2; exit 3", "removed\nwarn"},
                      EngineCase{"NoEngine", std::nullopt, missingEngine}), caseName);

// The engine's words are read as for any run (above); only the fallback is the log check's own.
TEST(VerifyLog, ShowsTheEnginesWordsOrItsOwnFallback) {
    StoreHarness harness;
    const auto engine = harness.writeEngine("echo 'line 4 changed' >&2; exit 1");
    auto& store = harness.make();
    EXPECT_EQ(store.logVerifyMessage, std::nullopt);

    store.verifyActivityLog();
    EXPECT_TRUE(store.verifyingLog);
    harness.queue.runPending();
    EXPECT_FALSE(store.verifyingLog);
    EXPECT_EQ(messageOf(store.logVerifyMessage), "line 4 changed");
    EXPECT_EQ(harness.engineCalls(), (std::vector<std::string>{"log verify"}));

    writeScript(engine, "exit 0");
    store.verifyActivityLog();
    harness.queue.runPending();
    EXPECT_EQ(messageOf(store.logVerifyMessage), "Check that the activity log hasn't been changed");
}

// A report replacing an error is the dashboard refresh's test.
TEST(RefreshDoctor, AnEmptyReportReplacesTheLastOne) {
    StoreHarness harness;
    harness.writeEngine("echo '  '; exit 2");
    auto& store = harness.make();
    store.doctor = DoctorReport{};

    store.refreshDoctor();
    harness.queue.runPending();
    EXPECT_EQ(store.doctor, std::nullopt);
    EXPECT_EQ(store.doctorError, "Health is not available yet. Turn protection on first.");
}

enum class EngineAt { nowhere, elsewhere, destination };

struct InstallCase { const char* name; EngineAt engine; std::string message; };

class InstallCommandLineTool : public ::testing::TestWithParam<InstallCase> {};

TEST_P(InstallCommandLineTool, LeavesARunnableEngineInTheDestinationOrSaysWhyNot) {
    const auto& row = GetParam();
    StoreHarness harness;
    const auto destination = harness.home / "new" / "bin";
    ScopedEnv cliDir("VARDEX_CLI_DIR", destination.string());
    ScopedEnv path("PATH", destination.string());
    if (row.engine == EngineAt::elsewhere) harness.writeEngine("echo engine");
    if (row.engine == EngineAt::destination) writeScript(destination / "vardex", "echo engine");
    auto& store = harness.make();

    store.installCommandLineTool();

    EXPECT_EQ(messageOf(store.lastMessage), row.message);
    if (row.engine == EngineAt::nowhere) {
        EXPECT_FALSE(std::filesystem::exists(destination));
        return;
    }
    const auto ran = VardexCli::runBinary(destination / "vardex", {});
    ASSERT_TRUE(ran.ok()) << ran.error().description();
    EXPECT_EQ(ran->stdout, "engine\n");
}

INSTANTIATE_TEST_SUITE_P(
    Engines, InstallCommandLineTool,
    ::testing::Values(InstallCase{"NoEngine", EngineAt::nowhere, missingEngine},
                      InstallCase{"EngineElsewhere", EngineAt::elsewhere, "Command-line tool installed."},
                      InstallCase{"EngineIsTheDestinationItself", EngineAt::destination, "Command-line tool installed."}), caseName);

}  // namespace
}  // namespace vardex::testing
