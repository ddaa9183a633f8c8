#include "bridge/agent_install_status.hpp"
#include "strings/ui_strings.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "bridge/protect_app_row.hpp"
#include "engine_script.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;
using Kind = AgentInstallRow::Kind;
using testing::writeFile;

// A temporary home with a search path of its own, so nothing of the real machine is found
// (the four standard program folders still are: where one holds a coding agent, the tests skip).
class InstallTest : public ::testing::Test {
protected:
    testing::TempHome home;
    testing::TempFolder bin;
    testing::ScopedEnv path{"PATH", bin.path().string()};

    void SetUp() override {
        for (const char* agent : {"cursor", "claude", "codex", "gemini"}) {
            if (AgentInstallStatus::commandExists(agent)) GTEST_SKIP() << agent << " is installed on this machine";
        }
    }
};

// The label tells both whether the agent was found and whether it is connected. `setup` is a path
// under home to create; a name ending in "/" is a folder.
struct HookCase { const char *name, *setup; std::optional<DoctorHook> hook; Kind kind; const char *message, *label; };

class HookRowTest : public InstallTest, public ::testing::WithParamInterface<HookCase> {};

TEST_P(HookRowTest, ConnectionComesFromTheReport) {
    const auto& c = GetParam();
    if (*c.setup != '\0') fs::path(c.setup).has_filename() ? writeFile(home / c.setup, "{}") : void(fs::create_directories(home / c.setup));
    std::optional<DoctorReport> report;
    if (c.hook) report.emplace().hooks = {DoctorHook{"other", "", DoctorStatus::ok, ""}, *c.hook};
    const auto row = AgentInstallStatus::load(report).at(static_cast<std::size_t>(c.kind));
    EXPECT_EQ(row.message, c.message);
    EXPECT_EQ(row.statusLabel(), c.label);
}

const DoctorHook claudeOk{"claude", "/h/.claude/settings.json", DoctorStatus::ok, "ok"};
constexpr const char* notYet = "Found. Not connected yet.";

INSTANTIATE_TEST_SUITE_P(Rows, HookRowTest, ::testing::Values(
        HookCase{"NotInstalled", "", std::nullopt, Kind::claude, UIStrings::appNotInstalledHere.data(), UIStrings::notOnThisMac.data()},
        HookCase{"HookWithoutTheAgentOnDisk", "", DoctorHook{"codex", "", DoctorStatus::ok, ""}, Kind::codex, notYet, UIStrings::notOnThisMac.data()},
        HookCase{"CodexFolderWithoutHooksFile", ".codex/", std::nullopt, Kind::codex, notYet, "Not connected to Codex"},
        HookCase{"HookForAnotherAgentOnly", ".cursor/hooks.json", claudeOk, Kind::cursor, notYet, "Not connected to Cursor"},
        HookCase{"GeminiSettingsWithAWorkingHook", ".gemini/settings.json", DoctorHook{"gemini", "", DoctorStatus::ok, ""},
                 Kind::gemini, "Connected to Gemini CLI", "Connected to Gemini CLI"},
        HookCase{"GeminiHookThatDoesNotAnswer", ".gemini/", DoctorHook{"gemini", "", DoctorStatus::error, ""}, Kind::gemini,
                 notYet, "Not connected to Gemini CLI"}),
    testing::caseName);

// Only executable files count, wherever they stand on a messy search path.
TEST_F(InstallTest, CommandsOnThePathCountAsPresent) {
    EXPECT_FALSE(AgentInstallStatus::isPresent(Kind::codex, ".codex/hooks.json"));
    testing::TempFolder other;
    testing::writeScript(other / "codex", "exit 0");
    writeFile(bin / "vardex-agent-text", "not executable");
    testing::ScopedEnv messy("PATH", ":" + bin.path().string() + "::/usr/bin:" + bin.path().string() + ":" +
                                         other.path().string() + ":");
    EXPECT_TRUE(AgentInstallStatus::isPresent(Kind::codex, ".codex/hooks.json"));
    EXPECT_FALSE(AgentInstallStatus::commandExists("vardex-agent-text"));
    EXPECT_TRUE(AgentInstallStatus::commandExists("sh"));
}

struct McpCase { const char* name; std::vector<std::pair<const char*, std::string>> files; const char* message; };

constexpr const char* nothing = "No AI tools or plugins found.";
constexpr const char* unconnected = "AI tools found. Not connected yet.";
constexpr const char* connected = "AI tools and plugins are connected.";

class McpRowTest : public InstallTest, public ::testing::WithParamInterface<McpCase> {};

TEST_P(McpRowTest, ReadsTheConfigurationFiles) {
    const auto& c = GetParam();
    for (const auto& [file, text] : c.files) {
        if (text != "<fifo>") writeFile(home / file, text);
        EXPECT_TRUE(text != "<fifo>" || ::mkfifo((home / file).c_str(), 0600) == 0);
    }
    const auto rows = AgentInstallStatus::load(std::nullopt);
    EXPECT_EQ(rows.back().message, c.message);
    EXPECT_EQ(rows.back().installed, c.message == connected);
    EXPECT_EQ(AgentInstallStatus::isPresent(Kind::mcp, ""), c.message != nothing);
}

INSTANTIATE_TEST_SUITE_P(Files, McpRowTest, ::testing::Values(
        McpCase{"None", {}, nothing},
        McpCase{"UnderscoreProxy", {{".codex/config.toml", "[mcp_servers.fs]\ncommand = \"vardex mcp_proxy\"\n"}}, connected},
        McpCase{"ProxyInALaterFile",
                {{".claude.json", "{\"mcpServers\":{}}"}, {".config/Claude/claude_desktop_config.json", "\"mcp-proxy\""}},
                connected},
        McpCase{"AFifoDoesNotBlock", {{".claude.json", "<fifo>"}}, unconnected},
        McpCase{"NotUTF8IsNotSettings", {{".claude.json", "\xff\xfe mcp-proxy"}}, unconnected},
        McpCase{"TooLargeIsNotRead", {{".claude.json", std::string(5 << 20, ' ') + "mcp-proxy"}}, unconnected}), testing::caseName);

// ---- Protected apps ----------------------------------------------------------------------

// An empty id: no match.
struct MatchCase { const char *name, *path; std::optional<std::string> bundleId; std::vector<std::string> argv; const char* id; };

class MatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchTest, FirstRowThatIdentifiesTheProgram) {
    const auto& c = GetParam();
    const auto found = ProtectAppRow::match(c.path, c.bundleId, c.argv);
    EXPECT_EQ(found ? found->id : "", c.id);
}

INSTANTIATE_TEST_SUITE_P(Programs, MatchTest, ::testing::Values(
        MatchCase{"Bundle", "/Applications/ChatGPT.app/Contents/MacOS/ChatGPT", "com.openai.chat", {}, "chatgpt-codex-app"},
        MatchCase{"CommandName", "/usr/local/bin/claude", std::nullopt, {"claude", "-p"}, "claude-code"},
        MatchCase{"ScriptWithBackslashes", "C:\\node.exe", std::nullopt,
                  {"node", "C:\\npm\\node_modules\\@openai\\codex\\bin\\codex.js"}, "codex-cli"},
        MatchCase{"EarlierRowWins", "/usr/bin/zed", "com.microsoft.VSCode", {}, "github-copilot-vscode"},
        MatchCase{"CaseMatters", "/usr/local/bin/Claude", "com.OpenAI.chat", {}, ""},
        MatchCase{"NameIsOnlyTheLastComponent", "/opt/claude/bin/node", std::nullopt, {"/opt/claude/x.js"}, ""}), testing::caseName);

struct LoadCase { const char* name; std::string script; std::size_t rows; };  // 0 rows: the built-in catalogue

class ProtectLoadTest : public ::testing::TestWithParam<LoadCase> {};

const std::string listing = testing::fixturePath("protect_list.json");

TEST_P(ProtectLoadTest, EngineRowsOrTheCatalogue) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto rows = ProtectApps::load();
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"protect", "list", "--json"}));
    EXPECT_EQ(rows == ProtectAppRow::catalog() ? 0 : rows.size(), c.rows);
}

INSTANTIATE_TEST_SUITE_P(Runs, ProtectLoadTest, ::testing::Values(
        LoadCase{"EngineRowsDespiteFailure", "cat '" + listing + "'; exit 1", 2},
        LoadCase{"WarningBesideTheJSON", "echo 'note: slow' >&2; cat '" + listing + "'", 0},
        LoadCase{"RowsOnStandardErrorAlone", "cat '" + listing + "' >&2", 2},
        LoadCase{"OneBadRow", "echo '[{\"id\":\"x\"}]'", 0}), testing::caseName);

}  // namespace
}  // namespace vardex
