#include "bridge/agent_stop.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bridge/command_line_installer.hpp"
#include "bridge/engine_json.hpp"
#include "engine_script.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;
using Found = std::vector<AgentProcess>;

struct PsCase { const char* name; std::string ps; Found found; };

class PsParseTest : public ::testing::TestWithParam<PsCase> {};

constexpr std::int32_t ownPid = 777;

TEST_P(PsParseTest, FindsOnlyAgents) { EXPECT_EQ(AgentStop::parse(GetParam().ps, ownPid), GetParam().found); }

INSTANTIATE_TEST_SUITE_P(Lines, PsParseTest, ::testing::Values(
        PsCase{"AllFourInOrder", "12 codex\n  9 /opt/cursor-agent\n\n13 claude\n14 /usr/local/bin/gemini\n",
               Found{{12, "codex"}, {9, "cursor-agent"}, {13, "claude"}, {14, "gemini"}}},
        PsCase{"InitAndSelfNeverReturned", "1 claude\n777 claude\n0 claude\n-5 codex\n", Found{}},
        PsCase{"CaseAndAdditionsAreNotAgents", "20 Claude\n21 claude-helper\n22 codex2\n23 /x/claude/node\n", Found{}},
        PsCase{"TabsAndTrailingBlanks", "\t31 \t/usr/bin/codex \t\n", Found{{31, "codex"}}},
        PsCase{"PidNotDecimal", "0x10 claude\n12a codex\n+14 claude\n", Found{}},
        PsCase{"PidBeyond32Bits", "4294967298 claude\n2147483647 codex\n", Found{{2147483647, "codex"}}},
        PsCase{"NameWithSpacesAndNoFinalLineFeed", "42 /Applications/My Tools/codex\n4243 \n41 claude",
               Found{{42, "codex"}, {41, "claude"}}},
        // What ps prints is repaired as UTF-8 first; a bad byte costs its character, not the line.
        PsCase{"RepairedBytes", engine_json::repairedUTF8("50 /opt/\xff\xfe/claude\n51 caf\xc3\xa9\xc3"), Found{{50, "claude"}}}),
    testing::caseName);

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
    const auto listed = [child] { return std::ranges::count(AgentStop::runningAgents(), AgentProcess{child, "codex"}); };
    for (int attempt = 0; attempt < 50 && listed() == 0; ++attempt) usleep(20000);
    EXPECT_EQ(listed(), 1);

    // Id 0 would name this very process group.
    EXPECT_EQ(AgentStop::terminate({{0, "codex"}, {child, "codex"}, {2147483646, "claude"}}), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(AgentStopTest, FlagBesideTheActivityLog) {
    testing::TempHome home;
    testing::ScopedEnv state("VARDEX_STATE_DIR", (home / "state").string());
    const auto flag = AgentStop::flagURL();
    EXPECT_EQ(flag, home / "state/agents.stopped");
    const auto at = std::chrono::sys_days{std::chrono::March / 4 / 2026} + std::chrono::milliseconds{18367890};
    ASSERT_TRUE(AgentStop::stop(flag, at).ok());
    EXPECT_EQ(testing::readFile(flag), "stopped 2026-03-04T05:06:07Z\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(flag.parent_path()), fs::directory_iterator{}), 1);
}

// The engine copied into place replaces an older, read-only copy; a destination that cannot be
// a folder fails with the installer's sentence.
TEST(InstallerTest, ReplacesAnOlderCopyOrSaysWhyNot) {
    testing::FakeEngine engine{"echo current"};
    const auto folder = engine.home / "tools/bin";
    testing::writeScript(folder / "vardex", "echo old");
    fs::permissions(folder / "vardex", fs::perms::owner_read);
    std::optional<testing::ScopedEnv> cliDir;
    cliDir.emplace("VARDEX_CLI_DIR", folder.string());
    const auto installed = CommandLineInstaller::install();
    ASSERT_TRUE(installed.ok()) << installed.error().description();
    EXPECT_EQ(*installed, folder / "vardex");
    struct stat info {};
    ASSERT_EQ(lstat(installed->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0170777, S_IFREG | 0755u);  // what it runs is the store's test

    cliDir.emplace("VARDEX_CLI_DIR", (folder / "vardex/bin").string());
    EXPECT_EQ(CommandLineInstaller::install().error().description(),
              "Could not run Vardex. Could not install the command-line tool.");
}

}  // namespace
}  // namespace vardex
