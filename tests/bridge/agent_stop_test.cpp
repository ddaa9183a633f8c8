#include "bridge/agent_stop.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "bridge/command_line_installer.hpp"
#include "bridge/engine_json.hpp"
#include "engine_script.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;
using Found = std::vector<AgentProcess>;

struct PsCase {
    const char* name;
    const char* ps;
    Found found;
};

class PsParseTest : public ::testing::TestWithParam<PsCase> {};

constexpr std::int32_t ownPid = 777;

TEST_P(PsParseTest, FindsOnlyAgents) { EXPECT_EQ(AgentStop::parse(GetParam().ps, ownPid), GetParam().found); }

INSTANTIATE_TEST_SUITE_P(
    Lines, PsParseTest,
    ::testing::Values(
        PsCase{"LeadingSpaces", "   4242 /usr/local/bin/claude\n", Found{{4242, "claude"}}},
        PsCase{"AllThreeInOrder", "12 codex\n  9 /opt/cursor-agent\n\n13 claude\n",
               Found{{12, "codex"}, {9, "cursor-agent"}, {13, "claude"}}},
        PsCase{"InitAndSelfNeverReturned", "1 claude\n777 claude\n0 claude\n-5 codex\n", Found{}},
        PsCase{"CaseAndAdditionsAreNotAgents", "20 Claude\n21 claude-helper\n22 codex2\n23 /x/claude/node\n", Found{}},
        PsCase{"OnlyAPid", "4242\n4243 \n", Found{}},
        PsCase{"TabsAndTrailingBlanks", "\t31 \t/usr/bin/codex \t\n", Found{{31, "codex"}}},
        PsCase{"PidNotDecimal", "0x10 claude\n12a codex\n+14 claude\n", Found{}},
        PsCase{"PidBeyond32Bits", "4294967298 claude\n2147483647 codex\n", Found{{2147483647, "codex"}}},
        PsCase{"CarriageReturnIsPartOfTheName", "40 claude\r\n", Found{}},
        PsCase{"NoFinalLineFeed", "41 claude", Found{{41, "claude"}}},
        PsCase{"NameWithSpaces", "42 /Applications/My Tools/codex\n", Found{{42, "codex"}}},
        PsCase{"ReplacedBytes", "43 \xEF\xBF\xBD" "claude\n44 claude\n", Found{{44, "claude"}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(AgentStopTest, ProcessListBytesAreRepairedNotDropped) {
    const std::string listed = engine_json::repairedUTF8("50 /opt/\xff\xfe/claude\n51 caf\xc3\xa9\xc3");
    EXPECT_EQ(listed, "50 /opt/\uFFFD\uFFFD/claude\n51 caf\u00e9\uFFFD");
    EXPECT_EQ(AgentStop::parse(listed, ownPid), (Found{{50, "claude"}}));
}

TEST(AgentStopTest, RunningAgentsFindsARealProcessByItsName) {
    if (!fs::exists("/bin/ps")) GTEST_SKIP() << "no /bin/ps";
    testing::TempFolder folder;
    // A copy of sleep named like an agent, so ps reports "codex" as its command.
    fs::copy_file("/bin/sleep", folder / "codex");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl((folder / "codex").c_str(), "codex", "30", static_cast<char*>(nullptr));
        _exit(127);
    }
    Found agents;
    for (int attempt = 0; attempt < 50; ++attempt) {
        agents = AgentStop::runningAgents();
        if (std::find(agents.begin(), agents.end(), AgentProcess{child, "codex"}) != agents.end()) break;
        usleep(20000);
    }
    EXPECT_NE(std::find(agents.begin(), agents.end(), AgentProcess{child, "codex"}), agents.end());

    // Id 0 would name this very process group.
    EXPECT_EQ(AgentStop::terminate({{0, "codex"}, {child, "codex"}, {2147483646, "claude"}}), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(AgentStopTest, FlagBesideTheActivityLog) {
    testing::TempHome home;
    EXPECT_EQ(AgentStop::flagURL(), home / "Library/Logs/Talvenor/vardex/agents.stopped");
    testing::ScopedEnv state("VARDEX_STATE_DIR", (home / "state").string());
    const auto flag = AgentStop::flagURL();
    EXPECT_EQ(flag, home / "state/agents.stopped");

    EXPECT_TRUE(AgentStop::resume(flag).ok());
    EXPECT_FALSE(AgentStop::isStopped(flag));

    const auto at = std::chrono::sys_days{std::chrono::year{2026} / 3 / 4} + std::chrono::hours{5} +
                    std::chrono::minutes{6} + std::chrono::seconds{7} + std::chrono::milliseconds{890};
    ASSERT_TRUE(AgentStop::stop(flag, at).ok());
    EXPECT_TRUE(AgentStop::isStopped(flag));
    std::ifstream in(flag);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "stopped 2026-03-04T05:06:07Z\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(flag.parent_path()), fs::directory_iterator{}), 1);

    ASSERT_TRUE(AgentStop::resume(flag).ok());
    EXPECT_FALSE(AgentStop::isStopped(flag));
}

TEST(AgentStopTest, StopFailsWhereNoFolderCanBe) {
    testing::TempHome home;
    testing::writeFile(home / "file", "x");
    const auto result = AgentStop::stop(home / "file/agents.stopped", std::chrono::system_clock::now());
    ASSERT_FALSE(result.ok());
    EXPECT_FALSE(result.error().description().empty());
}

// ---- Command-line installer -------------------------------------------------------------

class InstallerTest : public ::testing::Test {
protected:
    testing::FakeEngine engine{"echo current"};
};

TEST_F(InstallerTest, CopiesTheEngineIntoANewFolder) {
    const auto folder = engine.home / "tools/bin";
    testing::ScopedEnv cliDir("VARDEX_CLI_DIR", folder.string());
    EXPECT_EQ(CommandLineInstaller::destinationDirectory(), folder);
    const auto installed = CommandLineInstaller::install();
    ASSERT_TRUE(installed.ok()) << installed.error().description();
    EXPECT_EQ(*installed, folder / "vardex");
    EXPECT_FALSE(fs::is_symlink(*installed));
    struct stat info {};
    ASSERT_EQ(stat(installed->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
}

TEST_F(InstallerTest, ReplacesAnOlderCopy) {
    const auto folder = engine.home / "bin2";
    testing::writeScript(folder / "vardex", "echo old");
    fs::permissions(folder / "vardex", fs::perms::owner_read);
    testing::ScopedEnv cliDir("VARDEX_CLI_DIR", folder.string());
    ASSERT_TRUE(CommandLineInstaller::install().ok());
    std::ifstream in(folder / "vardex");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("echo current"), std::string::npos);
}

TEST_F(InstallerTest, UnwritableDestinationFailsWithItsSentence) {
    testing::writeFile(engine.home / "blocker", "a file, not a folder");
    testing::ScopedEnv cliDir("VARDEX_CLI_DIR", (engine.home / "blocker/bin").string());
    const auto installed = CommandLineInstaller::install();
    ASSERT_FALSE(installed.ok());
    EXPECT_EQ(installed.error().description(), "Could not run Vardex. Could not install the command-line tool.");
}

TEST(InstallerMissingTest, NoEngineTouchesNothing) {
    testing::TempHome home;
    testing::ScopedEnv path("PATH", (home / "nowhere").string());
    testing::ScopedEnv cliDir("VARDEX_CLI_DIR", (home / "dest").string());
    const auto installed = CommandLineInstaller::install();
    ASSERT_FALSE(installed.ok());
    EXPECT_EQ(installed.error().description(), "Part of Vardex is missing. Please reinstall it from the download.");
    EXPECT_FALSE(fs::exists(home / "dest"));
}

TEST(InstallerDefaultTest, UsrLocalBinWhenUnsetOrEmpty) {
    testing::ScopedEnv cliDir("VARDEX_CLI_DIR", "");
    EXPECT_EQ(CommandLineInstaller::destinationDirectory(), "/usr/local/bin");
}

}  // namespace
}  // namespace vardex
