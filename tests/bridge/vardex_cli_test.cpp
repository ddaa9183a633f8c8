#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "bridge/check_outcome.hpp"
#include "bridge/doctor_report.hpp"
#include "bridge/protect_app_row.hpp"
#include "bridge/rules_catalog.hpp"
#include "support/case_name.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

using testing::ScopedEnv;
namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
protected:
    testing::TempHome root;

    fs::path engine(std::string_view body) { return testing::writeScript(root / "vardex", body); }

    CliResult runOk(const fs::path& binary, const std::vector<std::string>& arguments = {},
                    const std::optional<fs::path>& cwd = std::nullopt) {
        auto outcome = VardexCli::runBinary(binary, arguments, cwd);
        EXPECT_TRUE(outcome.ok()) << outcome.error().description();
        return outcome.ok() ? outcome.value() : CliResult{};
    }
};

struct OutputCase { const char *name, *script; std::int32_t exitCode; const char *stdout, *stderr, *combined; };

class CliOutputTest : public CliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(CliOutputTest, CollectsStatusAndBothStreams) {
    const auto& c = GetParam();
    const auto result = runOk(engine(c.script));
    EXPECT_EQ(std::tuple(result.exitCode, result.ok(), result.stdout, result.stderr, result.combined()),
              std::tuple(c.exitCode, c.exitCode == 0, c.stdout, c.stderr, c.combined));
}

INSTANTIATE_TEST_SUITE_P(Outputs, CliOutputTest, ::testing::Values(
        OutputCase{"UnicodeSpacesTrimmed", "printf '\\302\\240caf\\303\\251\\342\\200\\203\\n'", 0,
                   "\u00a0caf\u00e9\u2003\n", "", "caf\u00e9"},
        OutputCase{"InvalidUTF8ReadsAsEmpty", "printf 'fine\\n'; printf 'bad \\377\\n' >&2; exit 1", 1, "fine\n", "", "fine"},
        OutputCase{"SignalEndsRun", "echo started; kill -TERM $$", 128 + 15, "started\n", "", "started"}), testing::caseName);

TEST_F(CliTest, LargeOutputOnBothStreamsDoesNotStall) {
    // Standard error is filled first: a runner that read standard output to its end before
    // looking at standard error would wait forever here.
    const auto result = runOk(engine("yes e | head -c 700000 >&2; yes o | head -c 500000; yes e | head -c 100000 >&2"));
    EXPECT_EQ(result.stdout.size(), 500000u);
    EXPECT_EQ(result.stderr.size(), 800000u);
    EXPECT_EQ(result.stdout.find_first_not_of("o\n"), std::string::npos);
    EXPECT_EQ(result.stderr.find_first_not_of("e\n"), std::string::npos);
}

// The working folder is the given one or the app's own.
TEST_F(CliTest, EnvironmentCarriesHomeSocketAndStateOnlyWhenSet) {
    ScopedEnv marker("VARDEX_TEST_MARKER", "kept");
    const auto script = engine(R"sh(printf '%s|%s|%s|%s|%s' "$HOME" "$VARDEX_SOCK" "${VARDEX_STATE_DIR-unset}" "$VARDEX_TEST_MARKER" "$(pwd)")sh");
    const std::string h = root.path().string();
    EXPECT_EQ(runOk(script).stdout, h + "|" + VardexPaths::homeLayout().socket.string() + "|unset|kept|" +
                                        fs::current_path().string());
    ScopedEnv stateDir("VARDEX_STATE_DIR", "/var/state");
    ScopedEnv socket("VARDEX_SOCK", "/run/v.sock");
    ScopedEnv emptyHome("HOME", "");
    EXPECT_EQ(runOk(script, {}, root.path()).stdout, std::string(getpwuid(getuid())->pw_dir) + "|/run/v.sock|/var/state|kept|" + h);
}

// A run given its own input and variables: all of a long input arrives (none is held back by a
// full pipe), and a variable given for the run wins over the one the runner sets.
TEST_F(CliTest, ARunCanBeGivenItsInputAndVariables) {
    const std::string input = std::string(300000, 'i') + "\nend";
    VardexCli::RunSetup setup;
    setup.input = input;
    setup.environment = {{"VARDEX_SOCK", "/dev/null/x.sock"}, {"VARDEX_TEST_MARKER", "given"}};
    const auto run = VardexCli::runProgram(engine(R"sh(wc -c; printf '%s|%s' "$VARDEX_SOCK" "$VARDEX_TEST_MARKER")sh"), {}, setup);
    ASSERT_TRUE(run.ok()) << run.error().description();
    EXPECT_EQ(run->stdout, std::to_string(input.size()) + "\n/dev/null/x.sock|given");
}

struct SpawnFailureCase { const char *name, *file, *cwd, *description; };  // file and cwd under the temporary folder

class CliSpawnFailureTest : public CliTest, public ::testing::WithParamInterface<SpawnFailureCase> {};

TEST_P(CliSpawnFailureTest, ExplainsWhyNothingRan) {
    engine("exit 0");
    testing::writeFile(root / "plain", "echo hi\n");
    const std::optional<fs::path> cwd = GetParam().cwd ? std::optional(root / GetParam().cwd) : std::nullopt;
    auto outcome = VardexCli::runBinary(root / GetParam().file, {"doctor", "--json"}, cwd);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().kind(), CliError::Kind::spawnFailed);
    EXPECT_EQ(outcome.error().description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(Failures, CliSpawnFailureTest, ::testing::Values(
        SpawnFailureCase{"Missing", "missing", nullptr, "Could not run Vardex. No such file or directory."},
        SpawnFailureCase{"NotExecutable", "plain", nullptr, "Could not run Vardex. Permission denied."},
        SpawnFailureCase{"MissingWorkingFolder", "vardex", "gone", "Could not run Vardex. No such file or directory."}), testing::caseName);

// Every caller that runs the engine turns a missing one into its own result (the protected apps
// fall back to the built-in catalogue); the installer's is the store's test.
TEST_F(CliTest, EveryCallerSaysTheEngineIsMissing) {
    ScopedEnv searchPath("PATH", (root / "empty").string());
    const std::string missing = "Part of Vardex is missing. Please reinstall it from the download.";
    EXPECT_EQ(VardexCli::run({"doctor", "--json"}).error(), CliError::binaryMissing());
    EXPECT_EQ(DoctorClient::run().error().description, missing);
    EXPECT_EQ(RulesCatalog::load().error().description(), missing);
    EXPECT_EQ(CheckOutcome::run(CheckKind::read, "", "/etc", "", "", "").error, missing);
    EXPECT_EQ(ProtectApps::load(), ProtectAppRow::catalog());
}

// Running, not ended and not a zombie left for a parent to collect.
bool isRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, command, state;
    return stat >> pidText >> command >> state && state != "Z" && state != "X";
}

// $1 is a marker file that the engine's background child creates after 3 s. A child left by an
// engine that finished keeps running; a hung engine is ended with its whole group.
// The outcome is what was printed, or why the run failed.
struct EndCase { const char *name, *script; std::chrono::milliseconds timeLimit; const char* outcome; };

class CliEndTest : public CliTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(CliEndTest, ReturnsWithoutWaitingForWhatTheEngineLeftBehind) {
    const auto marker = root / "marker";
    const auto ran = VardexCli::runBinary(engine(GetParam().script), {marker.string()}, std::nullopt, GetParam().timeLimit);
    EXPECT_FALSE(fs::exists(marker)) << "the run waited for the engine's child";
    EXPECT_EQ(ran ? ran->stdout : ran.error().description(), GetParam().outcome);
    std::ifstream pidFile(marker.string() + ".pid");
    pid_t child = 0;
    ASSERT_TRUE(pidFile >> child);
    // A killed child may take a moment to be gone; one left alone stays.
    for (int wait = 0; wait < 200 && !ran.ok() && isRunning(child); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(isRunning(child), ran.ok());
    if (isRunning(child)) ::kill(child, SIGKILL);
}

INSTANTIATE_TEST_SUITE_P(Ends, CliEndTest, ::testing::Values(
        EndCase{"ChildLeftRunningKeepsThePipes", R"((sleep 3; touch "$1") & echo $! > "$1.pid"; echo started)",
                VardexCli::defaultTimeLimit, "started\n"},
        EndCase{"HungEngineIsEndedWithItsGroup", R"((sleep 3; touch "$1") & echo $! > "$1.pid"; echo started; sleep 30)",
                std::chrono::milliseconds(1500), "Vardex did not answer in time. Try again in a moment."}), testing::caseName);

}  // namespace
}  // namespace vardex
