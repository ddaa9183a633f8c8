#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "agents/agent_setup.hpp"
#include "agents/hook_entries.hpp"
#include "bridge/agent_install_status.hpp"
#include "bridge/doctor_report.hpp"
#include "bridge/protect_app_row.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"
#include "support/test_daemon.hpp"
#include "engine/row_name.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::TempHome;
using testing::readFile;
using testing::writeFile;

CliResult engine(const std::vector<std::string>& arguments) {
    auto result = VardexCli::runBinary(VARDEX_ENGINE_EXE, arguments);
    EXPECT_TRUE(result.ok()) << result.error().description();
    return result.ok() ? *result : CliResult{-1, {}, {}};
}

DoctorReport doctor() {
    const auto run = engine({"doctor", "--json"});
    auto report = DoctorReport::parse(run.stdout);
    EXPECT_TRUE(report.ok()) << run.stdout;
    return report.ok() ? *report : DoctorReport{};
}

AgentInstallRow row(AgentInstallRow::Kind kind) {
    const auto rows = AgentInstallStatus::load(doctor());
    const auto found = std::ranges::find(rows, kind, &AgentInstallRow::kind);
    return found != rows.end() ? *found : AgentInstallRow{};
}

// A user's own file, written the way people write them: tabs, odd spacing, their key order,
// non-ASCII text, numbers as typed.
struct RoundTripCase {
    const char* name;
    const char* relative;
    std::optional<std::string> contents;  // none: the engine makes the file, and its folder
    const char* installFlag;
    std::vector<std::string> uninstall;
    AgentInstallRow::Kind kind;
};

class InstallRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(InstallRoundTripTest, UninstallGivesTheUsersFileBackByteForByte) {
    const auto& c = GetParam();
    TempHome home;
    const auto file = home / c.relative;
    if (c.contents) writeFile(file, *c.contents);

    const auto installed = engine({"install", c.installFlag});
    EXPECT_EQ(installed.exitCode, 0) << installed.combined();
    EXPECT_NE(readFile(file), c.contents) << "the engine's entries were added";
    EXPECT_TRUE(row(c.kind).installed) << row(c.kind).message;

    const auto removed = engine(c.uninstall);
    EXPECT_EQ(removed.exitCode, 0) << removed.combined();
    EXPECT_EQ(readFile(file), c.contents);
    EXPECT_EQ(fs::exists(file.parent_path()), c.contents.has_value());
    EXPECT_FALSE(row(c.kind).installed);
}

// The MCP files' own wrapping is the proxy entries' test; here the command's way through them.
INSTANTIATE_TEST_SUITE_P(AgentFiles, InstallRoundTripTest, ::testing::Values(
        RoundTripCase{"claude", ".claude/settings.json", "{\n\t\"model\":\"opus\", \"cost\": 1.50,\n\t\"hooks\": {\"PreToolUse\": []}, \"note\": \"caf\\u00e9 – ok\"\n}", "--claude", {"uninstall"}, AgentInstallRow::Kind::claude},
        RoundTripCase{"codex", ".codex/hooks.json", "{}", "--codex", {"connect", "--disconnect", "codex"}, AgentInstallRow::Kind::codex},
        RoundTripCase{"cursor", ".cursor/hooks.json", "{\n  \"hooks\": {\"stop\": [{\"command\": \"./done.sh\"}]}\n}\n", "--cursor", {"uninstall"}, AgentInstallRow::Kind::cursor},
        RoundTripCase{"gemini", ".gemini/settings.json", "{\n    \"theme\": \"Dracula\",\n    \"general\": {\"vimMode\": true}\n}", "--gemini", {"connect", "--disconnect", "gemini"}, AgentInstallRow::Kind::gemini},
        RoundTripCase{"made_by_the_engine", ".claude/settings.json", std::nullopt, "--claude", {"uninstall"}, AgentInstallRow::Kind::claude},
        RoundTripCase{"mcp_toml", ".codex/config.toml", "# my codex\nmodel = \"o4\"\n\n[mcp_servers.docs]\ncommand = \"docs-mcp\" # local\nargs = ['--port', \"8\"]\n", "--mcp", {"uninstall", "--mcp"}, AgentInstallRow::Kind::mcp}), testing::byName);

TEST(InstallTest, ChangesTheUserMadeMeanwhileAreKept) {
    TempHome home;
    const auto file = home / ".claude/settings.json";
    writeFile(file, R"({"model": "opus"})");
    EXPECT_EQ(engine({"install", "--claude"}).exitCode, 0);
    auto edited = json::parse(*readFile(file));
    edited["theme"] = "dark";
    writeFile(file, edited.dump());

    EXPECT_EQ(engine({"uninstall"}).exitCode, 0);
    EXPECT_EQ(json::parse(*readFile(file)), json::parse(R"({"model": "opus", "theme": "dark"})"));
}

TEST(InstallTest, AFileThatIsNotJSONIsLeftAloneWithAClearError) {
    TempHome home;
    const auto file = home / ".claude/settings.json";
    writeFile(file, "{\"model\": opus}");
    const auto run = engine({"install", "--claude"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.stderr, file.string() + " is not valid JSON, so Vardex left it unchanged.\n");
    EXPECT_EQ(readFile(file), "{\"model\": opus}");
}

struct HookHealthCase {
    const char* name;
    AgentInstallRow::Kind family;
    const char* script;  // the program the entry runs, named "vardex": empty this engine, null none at all
    bool older;          // the entry as an older engine wrote it
    DoctorStatus status;
    const char* said;  // a piece of the hook's sentence
};

class DoctorOnHooks : public ::testing::TestWithParam<HookHealthCase> {};

// An entry is reported as working only when a trial call gets an answer the agent can read; any
// other entry is one that `install` repairs.
TEST_P(DoctorOnHooks, TriesTheInstalledCommandAndInstallRepairsIt) {
    const auto& c = GetParam();
    TempHome home;
    fs::path program = VARDEX_ENGINE_EXE;
    if (c.script == nullptr) program = home / "gone/vardex";
    if (c.script != nullptr && *c.script != '\0') program = testing::writeScript(home / "old/vardex", c.script);
    const auto command = c.older ? program.string() + " hook " + std::string(wireText(c.family)) + " || exit 2"
                                 : engine::hookCommand(program, c.family);
    const auto file = engine::hookFile(c.family);
    writeFile(file, engine::withHook(std::nullopt, c.family, command).value());

    const auto hooks = doctor().hooks;
    ASSERT_EQ(hooks.size(), 1u);
    EXPECT_EQ(hooks.front().status, c.status);
    EXPECT_NE(hooks.front().message.find(c.said), std::string::npos) << hooks.front().message;
    EXPECT_EQ(row(c.family).installed, c.status == DoctorStatus::ok);

    EXPECT_EQ(engine({"install", "--" + std::string(wireText(c.family))}).exitCode, 0);
    EXPECT_EQ(doctor().hooks.front().status, DoctorStatus::ok);
    EXPECT_TRUE(row(c.family).installed);
}

INSTANTIATE_TEST_SUITE_P(Entries, DoctorOnHooks, ::testing::Values(
        HookHealthCase{"working", AgentInstallRow::Kind::cursor, "", false, DoctorStatus::ok, "Every action of Cursor is checked."},
        HookHealthCase{"program_gone", AgentInstallRow::Kind::claude, nullptr, true, DoctorStatus::error, "gone/vardex, which is missing. Run vardex install --claude."},
        HookHealthCase{"written_before_failures_printed_a_denial", AgentInstallRow::Kind::claude, "", true, DoctorStatus::warning, "written by an older Vardex"},
        HookHealthCase{"engine_without_the_agents_hook", AgentInstallRow::Kind::gemini, "echo 'A subcommand is required' >&2; exit 106", false, DoctorStatus::error, "A trial call to the hook ended with status 2, so Gemini CLI is not protected."},
        HookHealthCase{"answer_in_another_agents_format", AgentInstallRow::Kind::codex, "cat >/dev/null; echo '{\"permission\":\"deny\"}'", false, DoctorStatus::error, "did not answer in the agent's format"}), testing::byName);

struct DaemonRecordCase {
    const char* name;
    std::optional<std::string> record;  // "APP" stands for an app file in HOME, which the user owns
    const char* said;                   // a piece of the daemon check's sentence
};

class DoctorOnTheApp : public ::testing::TestWithParam<DaemonRecordCase> {};

// A running daemon whose answers could come from a program the agents can replace, or from
// nobody, or from automation, is a weakness the health report names.
TEST_P(DoctorOnTheApp, NamesAWeakAppRecord) {
    TempHome home;
    const auto app = home / "apps/vardex-bar";
    writeFile(app, "#!/bin/sh\n");
    if (auto record = GetParam().record) {
        if (const auto at = record->find("APP"); at != std::string::npos) record->replace(at, 3, app.string());
        writeFile(VardexPaths::supportDirectory() / "daemon.json", *record);
    }
    fs::create_directories(fs::path(VardexPaths::socketPath()).parent_path());
    // The daemon stands in for the engine configured here.
    testing::ScopedEnv engineBinary("VARDEX_BIN", VardexPaths::runningExecutable().value_or("").string());
    testing::TestDaemon daemon(VardexPaths::socketPath(), testing::scripts::answerPing());

    const auto report = doctor();
    EXPECT_EQ(report.daemon.status, DoctorStatus::warning) << report.daemon.message;
    EXPECT_NE(report.daemon.message.find(GetParam().said), std::string::npos) << report.daemon.message;
}

INSTANTIATE_TEST_SUITE_P(Records, DoctorOnTheApp, ::testing::Values(
        DaemonRecordCase{"app_the_user_can_overwrite", R"({"app_executable":"APP"})", "could be replaced by any program"},
        DaemonRecordCase{"no_app_named", R"({"app_executable":null})", "no app is named"},
        DaemonRecordCase{"automation_counts", R"({"app_executable":"APP","test_approvers":true})", "counts answers from automation"},
        DaemonRecordCase{"no_record", std::nullopt, "keeps no record"},
        DaemonRecordCase{"damaged_record", "{\"pid\":", "keeps no record"}), testing::byName);

struct SandboxHealthCase {
    const char* name;
    std::optional<std::string> bwrap;  // the script standing for bubblewrap; none: missing
    bool required;
    DoctorStatus status;
    const char* said;
};

class DoctorOnTheSandbox : public ::testing::TestWithParam<SandboxHealthCase> {};

// Where bubblewrap cannot run the report says why, what fixes it, and what happens meanwhile.
TEST_P(DoctorOnTheSandbox, SaysWhyAndWhatFixesIt) {
    TempHome home;
    const auto bwrap = home / "bin/bwrap";
    if (GetParam().bwrap) testing::writeScript(bwrap, *GetParam().bwrap);
    testing::ScopedEnv chosen("VARDEX_BWRAP", bwrap.string());
    if (GetParam().required) writeFile(VardexPaths::userConfigDirectory() / "sandbox.json", R"({"required":true})");

    const auto report = doctor();
    ASSERT_TRUE(report.sandbox.has_value());
    EXPECT_EQ(report.sandbox->status, GetParam().status) << report.sandbox->message;
    EXPECT_NE(report.sandbox->message.find(GetParam().said), std::string::npos) << report.sandbox->message;
    EXPECT_GE(report.status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Table, DoctorOnTheSandbox, ::testing::Values(
        SandboxHealthCase{"missing", std::nullopt, false, DoctorStatus::warning,
                          "Sandbox unavailable: bubblewrap (bwrap) is not installed. Allowed shell commands run "
                          "uncontained, as you. Install bubblewrap"},
        SandboxHealthCase{"refused", "exit 1", false, DoctorStatus::warning, "Sandbox unavailable: bubblewrap could not start"},
        SandboxHealthCase{"required", std::nullopt, true, DoctorStatus::error, "Allowed shell commands are denied"},
        SandboxHealthCase{"runs", "exit 0", false, DoctorStatus::ok,
                          "Network on; your ssh agent can be used inside."}), testing::byName);

TEST(ProtectTest, SwitchesAreWhatTheAppReads) {
    TempHome home;
    testing::ScopedEnv bin("VARDEX_BIN", VARDEX_ENGINE_EXE);
    EXPECT_EQ(engine({"protect", "set", "no-such-agent", "--off"}).exitCode, 2);
    EXPECT_EQ(ProtectApps::load(), ProtectAppRow::catalog());

    EXPECT_EQ(engine({"protect", "set", "claude-code", "--off"}).exitCode, 0);
    auto expected = ProtectAppRow::catalog();
    for (auto& r : expected) r.protect = r.id != "claude-code";
    EXPECT_EQ(ProtectApps::load(), expected);
}

json connectOutput(const std::vector<std::string>& arguments) {
    const auto run = engine(arguments);
    // The app reads the combined output, so anything on the error stream would spoil it.
    EXPECT_EQ(run.stderr, "");
    auto j = json::parse(run.combined(), nullptr, false);
    EXPECT_TRUE(j.is_object()) << run.combined();
    return j;
}

TEST(ConnectTest, FoundAgentsAreConnectedOnceWithConsentAndADisconnectedOneStaysAway) {
    TempHome home;
    fs::create_directories(home / ".cursor");
    EXPECT_EQ(connectOutput({"connect", "--auto-protect", "off", "--json"})["auto_protect_new"], false);
    EXPECT_EQ(json::parse(*readFile(home / ".config/talvenor/vardex/auto-connect.json"))["auto_protect_new"], false);
    EXPECT_EQ(connectOutput({"connect", "--json"})["notifications"], json::array());
    EXPECT_FALSE(row(AgentInstallRow::Kind::cursor).installed);

    const auto on = connectOutput({"connect", "--consent", "--auto-protect", "on", "--json"});
    EXPECT_EQ(on["consented"], true);
    EXPECT_EQ(on["notifications"], json::parse(R"(["Now protecting Cursor"])"));
    EXPECT_TRUE(row(AgentInstallRow::Kind::cursor).installed);
    EXPECT_EQ(connectOutput({"connect", "--json"})["notifications"], json::array());

    EXPECT_EQ(engine({"connect", "--disconnect", "cursor"}).combined(), "Disconnected Cursor.");
    EXPECT_EQ(connectOutput({"connect", "--json"})["notifications"], json::array());
    EXPECT_FALSE(row(AgentInstallRow::Kind::cursor).installed);
    EXPECT_EQ(engine({"connect", "--disconnect", "vim"}).exitCode, 2);
}

}  // namespace
}  // namespace vardex
