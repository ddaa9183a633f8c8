#include "bridge/vardex_cli.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "bridge/vardex_paths.hpp"
#include "support/scoped_env.hpp"
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

    std::map<std::string, std::string> childEnvironment() {
        const auto result = runOk(engine("env"));
        std::map<std::string, std::string> entries;
        std::istringstream lines(result.stdout);
        for (std::string line; std::getline(lines, line);) {
            const auto equals = line.find('=');
            if (equals != std::string::npos) entries[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return entries;
    }
};

struct OutputCase {
    const char* name;
    const char* script;
    std::int32_t exitCode;
    const char* stdout;
    const char* stderr;
    const char* combined;
};

class CliOutputTest : public CliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(CliOutputTest, CollectsStatusAndBothStreams) {
    const auto& c = GetParam();
    const auto result = runOk(engine(c.script));
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.ok(), c.exitCode == 0);
    EXPECT_EQ(result.stdout, c.stdout);
    EXPECT_EQ(result.stderr, c.stderr);
    EXPECT_EQ(result.combined(), c.combined);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, CliOutputTest,
    ::testing::Values(
        OutputCase{"FailureIsStillAResult", "echo out; echo err >&2; exit 3", 3, "out\n", "err\n", "out\nerr"},
        OutputCase{"NothingPrinted", "exit 0", 0, "", "", ""},
        OutputCase{"WordsTrimmedAndJoined", "printf '  first\\n'; printf 'second\\n' >&2", 0, "  first\n",
                   "second\n", "first\nsecond"},
        OutputCase{"BlankOutputLeavesErrorAlone", "printf ' \\n\\t'; printf '  word  ' >&2", 0, " \n\t",
                   "  word  ", "word"},
        OutputCase{"UnicodeSpacesTrimmed", "printf '\\302\\240caf\\303\\251\\342\\200\\203\\n'", 0,
                   "\u00a0caf\u00e9\u2003\n", "", "caf\u00e9"},
        OutputCase{"InvalidUTF8ReadsAsEmpty", "printf 'fine\\n'; printf 'bad \\377\\n' >&2; exit 1", 1, "fine\n",
                   "", "fine"},
        OutputCase{"SignalEndsRun", "echo started; kill -TERM $$", 128 + 15, "started\n", "", "started"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(CliTest, PassesEachArgumentAsIs) {
    const auto result = runOk(engine(R"(for a in "$@"; do printf '[%s]' "$a"; done)"),
                              {"check", "--shell", "rm -rf ~/x; echo $HOME", "", "\u00e9"});
    EXPECT_EQ(result.stdout, "[check][--shell][rm -rf ~/x; echo $HOME][][\u00e9]");
}

TEST_F(CliTest, LargeOutputOnBothStreamsDoesNotStall) {
    // Standard error is filled first: a runner that read standard output to its end before
    // looking at standard error would wait forever here.
    const auto result = runOk(engine("yes e | head -c 700000 >&2; yes o | head -c 500000; yes e | head -c 100000 >&2"));
    EXPECT_EQ(result.stdout.size(), 500000u);
    EXPECT_EQ(result.stderr.size(), 800000u);
    EXPECT_EQ(result.stdout.find_first_not_of("o\n"), std::string::npos);
    EXPECT_EQ(result.stderr.find_first_not_of("e\n"), std::string::npos);
}

TEST_F(CliTest, EnvironmentCarriesHomeSocketAndStateOnlyWhenSet) {
    ScopedEnv marker("VARDEX_TEST_MARKER", "kept");
    auto entries = childEnvironment();
    EXPECT_EQ(entries["HOME"], root.path().string());
    EXPECT_EQ(entries["VARDEX_SOCK"], root.path().string() + "/Library/Application Support/Talvenor/vardex.sock");
    EXPECT_EQ(entries.count("VARDEX_STATE_DIR"), 0u);
    EXPECT_EQ(entries["VARDEX_TEST_MARKER"], "kept");

    ScopedEnv stateDir("VARDEX_STATE_DIR", "/var/state");
    ScopedEnv socket("VARDEX_SOCK", "/run/v.sock");
    entries = childEnvironment();
    EXPECT_EQ(entries["VARDEX_STATE_DIR"], "/var/state");
    EXPECT_EQ(entries["VARDEX_SOCK"], "/run/v.sock");
}

TEST_F(CliTest, EmptyHomeIsReplacedByTheAccountHome) {
    ScopedEnv emptyHome("HOME", "");
    EXPECT_EQ(childEnvironment()["HOME"], getpwuid(getuid())->pw_dir);
}

TEST_F(CliTest, WorkingFolderIsTheGivenOneOrTheAppsOwn) {
    fs::create_directory(root / "work");
    const auto script = engine("pwd");
    EXPECT_EQ(runOk(script, {}, root / "work").stdout, (root / "work").string() + "\n");
    EXPECT_EQ(runOk(script).stdout, fs::current_path().string() + "\n");
}

struct SpawnFailureCase {
    const char* name;
    const char* file;  // relative to the temporary folder
    const char* description;
};

class CliSpawnFailureTest : public CliTest, public ::testing::WithParamInterface<SpawnFailureCase> {};

TEST_P(CliSpawnFailureTest, ExplainsWhyNothingRan) {
    testing::writeFile(root / "plain", "echo hi\n");
    testing::writeFile(root / "garbage", std::string("\x7f" "ELF\x01\x01\x01\x00garbage", 16));
    fs::permissions(root / "garbage", fs::perms::owner_all);
    fs::create_directory(root / "folder");

    auto outcome = VardexCli::runBinary(root / GetParam().file, {"doctor", "--json"});
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().kind(), CliError::Kind::spawnFailed);
    EXPECT_EQ(outcome.error().description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CliSpawnFailureTest,
    ::testing::Values(SpawnFailureCase{"Missing", "missing", "Could not run Vardex. No such file or directory."},
                      SpawnFailureCase{"NotExecutable", "plain", "Could not run Vardex. Permission denied."},
                      SpawnFailureCase{"Folder", "folder", "Could not run Vardex. Permission denied."},
                      SpawnFailureCase{"NotAProgram", "garbage", "Could not run Vardex. Exec format error."}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(CliTest, MissingWorkingFolderIsASpawnFailure) {
    auto outcome = VardexCli::runBinary(engine("exit 0"), {}, root / "gone");
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error(), CliError::spawnFailed("No such file or directory."));
}

TEST_F(CliTest, RunUsesTheEngineLookup) {
    ScopedEnv configured("VARDEX_BIN", engine("echo ran \"$1\"").string());
    ScopedEnv searchPath("PATH", (root / "empty").string());
    auto outcome = VardexCli::run({"doctor"});
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->stdout, "ran doctor\n");
}

TEST_F(CliTest, RunWithoutAnEngineStartsNothing) {
    ScopedEnv searchPath("PATH", (root / "empty").string());
    auto outcome = VardexCli::run({"doctor", "--json"});
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error(), CliError::binaryMissing());
    EXPECT_EQ(outcome.error().description(), "Part of Vardex is missing. Please reinstall it from the download.");
}

// Running, not ended and not a zombie left for a parent to collect.
bool isRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, command, state;
    return stat >> pidText >> command >> state && state != "Z" && state != "X";
}

struct EndCase {
    const char* name;
    const char* script;  // $1 is a marker file the engine's background child creates after 3 s
    std::chrono::milliseconds timeLimit;
    std::optional<CliError::Kind> error;
    bool childEndedWithTheRun;
};

class CliEndTest : public CliTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(CliEndTest, ReturnsWithoutWaitingForWhatTheEngineLeftBehind) {
    const auto& c = GetParam();
    const auto marker = root / "marker";
    const auto outcome = VardexCli::runBinary(engine(c.script), {marker.string()}, std::nullopt, c.timeLimit);
    EXPECT_FALSE(fs::exists(marker)) << "the run waited for the engine's child";

    std::ifstream pidFile(marker.string() + ".pid");
    pid_t child = 0;
    ASSERT_TRUE(pidFile >> child);
    EXPECT_EQ(isRunning(child), !c.childEndedWithTheRun);
    if (isRunning(child)) ::kill(child, SIGKILL);

    if (c.error) {
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.error().kind(), *c.error);
    } else {
        ASSERT_TRUE(outcome.ok()) << outcome.error().description();
        EXPECT_EQ(outcome->stdout, "started\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CliEndTest,
    ::testing::Values(
        EndCase{"ChildLeftRunningKeepsThePipes", R"((sleep 3; touch "$1") & echo $! > "$1.pid"; echo started)",
                VardexCli::defaultTimeLimit, std::nullopt, false},
        EndCase{"HungEngineIsEndedWithItsGroup",
                R"((sleep 3; touch "$1") & echo $! > "$1.pid"; echo started; sleep 30)",
                std::chrono::milliseconds(1500), CliError::Kind::timedOut, true}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(CliTest, ConcurrentRunsKeepTheirOwnOutput) {
    const auto script = engine(R"(yes "$1" | head -n 20000; echo "done $1" >&2)");
    constexpr int runs = 6;
    std::vector<CliResult> results(runs);
    std::vector<std::thread> threads;
    for (int i = 0; i < runs; ++i) {
        threads.emplace_back([&, i] {
            auto outcome = VardexCli::runBinary(script, {"run" + std::to_string(i)});
            if (outcome.ok()) results[static_cast<std::size_t>(i)] = outcome.value();
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < runs; ++i) {
        const auto& result = results[static_cast<std::size_t>(i)];
        const std::string word = "run" + std::to_string(i);
        EXPECT_EQ(result.stdout.size(), (word.size() + 1) * 20000) << word;
        EXPECT_EQ(result.stderr, "done " + word + "\n");
    }
}

}  // namespace
}  // namespace vardex
