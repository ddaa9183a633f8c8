#include "bridge/agent_install_status.hpp"

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
// (the four standard program folders still are; the fake names below are in none of them).
class InstallTest : public ::testing::Test {
protected:
    testing::TempHome home;
    testing::TempFolder bin;
    testing::ScopedEnv path{"PATH", bin.path().string()};

    void addCommand(const fs::path& folder, std::string_view name) { testing::writeScript(folder / name, "exit 0"); }

    DoctorReport reportWith(std::vector<DoctorHook> hooks) {
        DoctorReport report;
        report.hooks = std::move(hooks);
        return report;
    }

    // Whether the host itself has one of the families installed, which would make presence
    // tests meaningless here.
    static bool hostHas(std::string_view command) {
        for (const char* folder : {"/usr/local/bin", "/opt/homebrew/bin", "/usr/bin", "/bin"}) {
            if (fs::exists(fs::path(folder) / command)) return true;
        }
        return false;
    }
};

TEST_F(InstallTest, NothingInstalledAndNoReport) {
    if (hostHas("cursor") || hostHas("claude") || hostHas("codex") || fs::exists("/Applications")) {
        GTEST_SKIP() << "this machine has coding agents installed";
    }
    const auto rows = AgentInstallStatus::load(std::nullopt);
    const std::vector<AgentInstallRow> expected{
        {"cursor", "Cursor", false, false, "This app is not installed on this Mac.", Kind::cursor},
        {"claude", "Claude Code", false, false, "This app is not installed on this Mac.", Kind::claude},
        {"codex", "Codex", false, false, "This app is not installed on this Mac.", Kind::codex},
        {"mcp", "AI tools and plugins", false, false, "No AI tools or plugins found.", Kind::mcp},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(rows[0].statusLabel(), "Not on this Mac");
}

struct HookCase {
    const char* name;
    const char* setup;  // a path under home to create; a name ending in "/" is a folder
    std::optional<DoctorHook> hook;
    Kind kind;
    bool detected;
    bool installed;
    const char* message;
    const char* label;
};

class HookRowTest : public InstallTest, public ::testing::WithParamInterface<HookCase> {};

TEST_P(HookRowTest, ConnectionComesFromTheReport) {
    const auto& c = GetParam();
    if (hostHas("cursor") || hostHas("claude") || hostHas("codex")) GTEST_SKIP() << "agents on this machine";
    if (*c.setup != '\0') {
        const std::string setup = c.setup;
        if (setup.back() == '/') fs::create_directories(home / setup);
        else writeFile(home / setup, "{}");
    }
    std::optional<DoctorReport> report;
    if (c.hook) report = reportWith({DoctorHook{"other", "", DoctorStatus::ok, ""}, *c.hook});
    const auto rows = AgentInstallStatus::load(report);
    const auto& row = rows.at(static_cast<std::size_t>(c.kind));
    EXPECT_EQ(row.kind, c.kind);
    EXPECT_EQ(row.detected, c.detected);
    EXPECT_EQ(row.installed, c.installed);
    EXPECT_EQ(row.message, c.message);
    EXPECT_EQ(row.statusLabel(), c.label);
}

const DoctorHook claudeOk{"claude", "/h/.claude/settings.json", DoctorStatus::ok, "ok"};
const DoctorHook claudeWarning{"claude", "/h/.claude/settings.json", DoctorStatus::warning, "old"};
const DoctorHook codexOk{"codex", "", DoctorStatus::ok, ""};

INSTANTIATE_TEST_SUITE_P(
    Rows, HookRowTest,
    ::testing::Values(
        HookCase{"CursorAppInHomeApplications", "Applications/Cursor.app/", std::nullopt, Kind::cursor, true, false,
                 "Found. Not connected yet.", "Not connected to Cursor"},
        HookCase{"ClaudeConnected", ".claude/settings.json", claudeOk, Kind::claude, true, true,
                 "Connected to Claude Code", "Connected to Claude Code"},
        HookCase{"ClaudeHookWarning", "Applications/Claude Code.app/", claudeWarning, Kind::claude, true, false,
                 "Found. Not connected yet.", "Not connected to Claude Code"},
        HookCase{"HookWithoutTheAgentOnDisk", "", codexOk, Kind::codex, false, false, "Found. Not connected yet.",
                 "Not on this Mac"},
        HookCase{"CodexFolderWithoutHooksFile", ".codex/", std::nullopt, Kind::codex, true, false,
                 "Found. Not connected yet.", "Not connected to Codex"},
        HookCase{"ChatGPTAppCountsForCodex", "Applications/ChatGPT.app/", codexOk, Kind::codex, true, true,
                 "Connected to Codex", "Connected to Codex"},
        HookCase{"HookForAnotherAgentOnly", ".cursor/hooks.json", claudeOk, Kind::cursor, true, false,
                 "Found. Not connected yet.", "Not connected to Cursor"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(InstallTest, CommandsOnThePathCountAsPresent) {
    if (hostHas("codex")) GTEST_SKIP();
    EXPECT_FALSE(AgentInstallStatus::isPresent(Kind::codex, ".codex/hooks.json"));
    addCommand(bin.path(), "codex");
    EXPECT_TRUE(AgentInstallStatus::isPresent(Kind::codex, ".codex/hooks.json"));
    EXPECT_TRUE(AgentInstallStatus::commandExists("codex"));
}

TEST_F(InstallTest, CommandLookupSkipsEmptyAndRepeatedEntriesAndNonExecutables) {
    testing::TempFolder other;
    addCommand(other.path(), "vardex-agent-probe");
    writeFile(bin / "vardex-agent-text", "not executable");
    fs::create_directories(bin / "vardex-agent-folder");
    testing::ScopedEnv messy("PATH", ":" + bin.path().string() + "::/usr/bin:" + bin.path().string() + ":/usr/bin:" +
                                         other.path().string() + ":");
    EXPECT_TRUE(AgentInstallStatus::commandExists("vardex-agent-probe"));
    EXPECT_FALSE(AgentInstallStatus::commandExists("vardex-agent-text"));
    EXPECT_FALSE(AgentInstallStatus::commandExists("vardex-agent-folder"));
    EXPECT_TRUE(AgentInstallStatus::commandExists("sh"));
}

struct McpCase {
    const char* name;
    std::vector<std::pair<const char*, std::string>> files;
    bool detected;
    bool installed;
    const char* message;
};

class McpRowTest : public InstallTest, public ::testing::WithParamInterface<McpCase> {};

TEST_P(McpRowTest, ReadsTheConfigurationFiles) {
    const auto& c = GetParam();
    for (const auto& [file, text] : c.files) writeFile(home / file, text);
    const auto rows = AgentInstallStatus::load(std::nullopt);
    EXPECT_EQ(rows.back(), (AgentInstallRow{"mcp", "AI tools and plugins", c.detected, c.installed, c.message, Kind::mcp}));
    EXPECT_EQ(AgentInstallStatus::isPresent(Kind::mcp, ""), c.detected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, McpRowTest,
    ::testing::Values(
        McpCase{"None", {}, false, false, "No AI tools or plugins found."},
        McpCase{"EmptyFile", {{".cursor/mcp.json", ""}}, true, false, "AI tools found. Not connected yet."},
        McpCase{"UnderscoreProxy", {{".codex/config.toml", "[mcp_servers.fs]\ncommand = \"vardex mcp_proxy\"\n"}}, true,
                true, "AI tools and plugins are connected."},
        McpCase{"ProxyInALaterFile",
                {{".claude.json", "{\"mcpServers\":{}}"},
                 {".config/Claude/claude_desktop_config.json", "{\"command\":\"mcp-proxy\"}"}},
                true, true, "AI tools and plugins are connected."},
        McpCase{"NotUTF8IsNotSettings", {{".claude.json", "\xff\xfe mcp-proxy"}}, true, false,
                "AI tools found. Not connected yet."},
        McpCase{"TooLargeIsNotRead", {{".claude.json", std::string(5 << 20, ' ') + "mcp-proxy"}}, true, false,
                "AI tools found. Not connected yet."}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(InstallTest, AFifoInPlaceOfTheSettingsDoesNotBlock) {
    ASSERT_EQ(::mkfifo((home / ".claude.json").c_str(), 0600), 0);
    const auto rows = AgentInstallStatus::load(std::nullopt);
    EXPECT_TRUE(rows.back().detected);
    EXPECT_FALSE(rows.back().installed);
}

TEST_F(InstallTest, UnreadableConfigurationIsSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    writeFile(home / ".claude.json", "mcp-proxy");
    fs::permissions(home / ".claude.json", fs::perms::none);
    const auto rows = AgentInstallStatus::load(std::nullopt);
    EXPECT_TRUE(rows.back().detected);
    EXPECT_FALSE(rows.back().installed);
}

// ---- Protected apps ----------------------------------------------------------------------

TEST(ProtectAppRowTest, CatalogueOfTwentyKnownAgents) {
    const auto& rows = ProtectAppRow::catalog();
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows.front().id, "github-copilot-vscode");
    EXPECT_EQ(rows.back().id, "grok-bot");
    EXPECT_EQ(rows[12], (ProtectAppRow{"kiro-cli", "Kiro CLI", {"dev.kiro.cli"}, {"kiro-cli", "q"}, {}, true, std::nullopt}));
    EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.protect && !r.teamId; }));
}

struct MatchCase {
    const char* name;
    const char* path;
    std::optional<std::string> bundleId;
    std::vector<std::string> argv;
    const char* id;  // nullptr: no match
};

class MatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchTest, FirstRowThatIdentifiesTheProgram) {
    const auto& c = GetParam();
    const auto found = ProtectAppRow::match(c.path, c.bundleId, c.argv);
    if (c.id == nullptr) {
        EXPECT_FALSE(found.has_value()) << found->id;
    } else {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->id, c.id);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, MatchTest,
    ::testing::Values(
        MatchCase{"Bundle", "/Applications/ChatGPT.app/Contents/MacOS/ChatGPT", "com.openai.chat", {}, "chatgpt-codex-app"},
        MatchCase{"CommandName", "/usr/local/bin/claude", std::nullopt, {"claude", "-p"}, "claude-code"},
        MatchCase{"ScriptWithBackslashes", "C:\\node.exe", std::nullopt,
                  {"node", "C:\\npm\\node_modules\\@openai\\codex\\bin\\codex.js"}, "codex-cli"},
        MatchCase{"EarlierRowWins", "/usr/bin/zed", "com.microsoft.VSCode", {}, "github-copilot-vscode"},
        MatchCase{"ShortCommand", "/usr/local/bin/q", std::nullopt, {}, "kiro-cli"},
        MatchCase{"CaseMatters", "/usr/local/bin/Claude", "com.OpenAI.chat", {}, nullptr},
        MatchCase{"NameIsOnlyTheLastComponent", "/opt/claude/bin/node", std::nullopt, {"/opt/claude/x.js"}, nullptr},
        MatchCase{"AiderMarker", "/usr/bin/python3", std::nullopt, {"python3", "/home/u/.local/bin/aider"}, "aider"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ProtectAppRowTest, StrictFormRefusesTheWholeListForOneBadRow) {
    std::ifstream in(testing::fixturePath("protect_list.json"));
    const auto document = nlohmann::json::parse(in);
    const auto rows = protect_app_json::listFromJson(document);
    ASSERT_TRUE(rows.ok()) << rows.error().description();
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[1].teamId, "MQ55");
    EXPECT_FALSE((*rows)[1].protect);
    for (const auto& row : *rows) EXPECT_EQ(protect_app_json::fromJson(protect_app_json::toJson(row)).value(), row);
    EXPECT_FALSE(protect_app_json::toJson((*rows)[0]).contains("team_id"));

    for (const char* broken : {R"({"cli_names": "claude"})", R"({"cli_names": ["claude", 1]})", R"({"protect": "yes"})",
                               R"({"team_id": 7})", R"({"display_name": null})"}) {
        auto bad = document;
        bad[0].update(nlohmann::json::parse(broken));
        EXPECT_FALSE(protect_app_json::listFromJson(bad).ok()) << broken;
    }
    auto lacking = document;
    lacking[1].erase("script_markers");
    EXPECT_FALSE(protect_app_json::listFromJson(lacking).ok());
}

struct LoadCase {
    const char* name;
    std::string script;
    std::size_t rows;  // 20 is the catalogue
};

class ProtectLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ProtectLoadTest, EngineRowsOrTheCatalogue) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto rows = ProtectApps::load();
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"protect", "list", "--json"}));
    EXPECT_EQ(rows.size(), c.rows);
    if (c.rows == 20) {
        EXPECT_EQ(rows, ProtectAppRow::catalog());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProtectLoadTest,
    ::testing::Values(
        LoadCase{"EngineRows", testing::FakeEngine::printing(testing::fixturePath("protect_list.json")), 2},
        LoadCase{"EngineRowsDespiteFailure", testing::FakeEngine::printing(testing::fixturePath("protect_list.json"), 1), 2},
        LoadCase{"WarningBesideTheJSON",
                 "echo 'note: slow' >&2\n" + testing::FakeEngine::printing(testing::fixturePath("protect_list.json")), 20},
        LoadCase{"RowsOnStandardErrorAlone", "cat '" + testing::fixturePath("protect_list.json") + "' >&2", 2},
        LoadCase{"EmptyList", "echo '[]'", 20},
        LoadCase{"NotJSON", "echo 'protect: unknown command'; exit 2", 20},
        LoadCase{"OneBadRow", "echo '[{\"id\":\"x\"}]'", 20}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ProtectLoadTest, NoEngineGivesTheCatalogue) {
    testing::TempHome home;
    testing::ScopedEnv path("PATH", (home / "nowhere").string());
    EXPECT_EQ(ProtectApps::load(), ProtectAppRow::catalog());
}

}  // namespace
}  // namespace vardex
