#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

#include "bridge/vardex_paths.hpp"
#include "daemon/action_record.hpp"
#include "daemon/claude_hook.hpp"
#include "daemon_fixture.hpp"

namespace vardex::testing {
namespace {

using engine::ClaudeHook::actionFor;

nlohmann::json hookInput(const std::string& tool, nlohmann::json toolInput) {
    return {{"session_id", "cc-1"},
            {"cwd", "/work/project"},
            {"hook_event_name", "PreToolUse"},
            {"tool_name", tool},
            {"tool_input", std::move(toolInput)}};
}

struct MappingCase {
    const char* name;
    nlohmann::json input;
    std::string kind;     // the action's wire kind; empty when the tool is not checked
    std::string summary;  // the action's one-line summary
};

class HookMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(HookMapping, ToolCallsBecomeActions) {
    auto action = actionFor(GetParam().input);
    ASSERT_TRUE(action) << action.error();
    if (GetParam().kind.empty()) {
        EXPECT_FALSE(action->has_value());
        return;
    }
    ASSERT_TRUE(action->has_value());
    const Action& made = **action;
    EXPECT_EQ(actionKindName(made.kind), GetParam().kind);
    EXPECT_EQ(engine::summarizeAction(made), GetParam().summary);
    EXPECT_EQ(made.context, (AgentContext{AgentKind::claude, "cc-1", "/work/project", false}));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HookMapping,
    ::testing::Values(
        MappingCase{"bash", hookInput("Bash", {{"command", "git status"}}), "shell", "git status"},
        MappingCase{"read", hookInput("Read", {{"file_path", "/etc/hosts"}}), "file_read", "file_read /etc/hosts"},
        MappingCase{"write", hookInput("Write", {{"file_path", "/w/a.txt"}, {"content", "x"}}), "file_write",
                    "file_write /w/a.txt"},
        MappingCase{"edit", hookInput("Edit", {{"file_path", "/w/a.txt"}, {"old_string", "a"}}), "file_write",
                    "file_write /w/a.txt"},
        MappingCase{"grep_in_a_folder", hookInput("Grep", {{"pattern", "key"}, {"path", "/home/u/.ssh"}}),
                    "file_read", "file_read /home/u/.ssh"},
        MappingCase{"grep_here", hookInput("Grep", {{"pattern", "key"}}), "", ""},
        MappingCase{"web_fetch", hookInput("WebFetch", {{"url", "https://example.com/a"}, {"prompt", "p"}}),
                    "network", "https://example.com/a"},
        MappingCase{"mcp", hookInput("mcp__stripe__create_payout", {{"amount", 5}}), "mcp_tool_call",
                    "mcp stripe.create_payout"},
        MappingCase{"mcp_tool_with_underscores", hookInput("mcp__github__create_pull_request", nlohmann::json::object()),
                    "mcp_tool_call", "mcp github.create_pull_request"},
        MappingCase{"unchecked_tool", hookInput("TodoWrite", {{"todos", nlohmann::json::array()}}), "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HookMapping, RefusesInputsItCannotCheck) {
    EXPECT_FALSE(actionFor(nlohmann::json::array()));
    EXPECT_FALSE(actionFor(hookInput("Bash", {{"cmd", "ls"}})));
    EXPECT_FALSE(actionFor(hookInput("Read", nlohmann::json::object())));
    EXPECT_FALSE(actionFor(hookInput("mcp__onlyserver", nlohmann::json::object())));
    EXPECT_FALSE(actionFor(hookInput("", nlohmann::json::object())));
}

struct HookCase {
    const char* name;
    std::string tool;
    nlohmann::json toolInput;  // "~" at the start of a string value is HOME
    std::string decision;
};

class HookAgainstDaemon : public DaemonFixture, public ::testing::WithParamInterface<HookCase> {};

// The hook as Claude Code runs it: a process with the input on standard input, against a live
// daemon with nobody to ask.
TEST_P(HookAgainstDaemon, PrintsThePreToolUseDecision) {
    auto toolInput = GetParam().toolInput;
    for (auto& value : toolInput) {
        if (value.is_string() && value.get<std::string>().rfind("~/", 0) == 0) {
            value = home.path().string() + value.get<std::string>().substr(1);
        }
    }
    startDaemon();
    const auto run = runEngine(runs(), {"hook", "claude"}, hookInput(GetParam().tool, toolInput).dump());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto output = nlohmann::json::parse(run.out)["hookSpecificOutput"];
    EXPECT_EQ(output["hookEventName"], "PreToolUse");
    EXPECT_EQ(output["permissionDecision"], GetParam().decision) << output.dump();
    EXPECT_FALSE(output["permissionDecisionReason"].get<std::string>().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tools, HookAgainstDaemon,
    ::testing::Values(HookCase{"harmless_bash", "Bash", {{"command", "ls -la"}}, "allow"},
                      HookCase{"home_wipe", "Bash", {{"command", "rm -rf ~"}}, "deny"},
                      HookCase{"sudo_nobody_to_ask", "Bash", {{"command", "sudo ls"}}, "deny"},
                      HookCase{"ssh_key", "Read", {{"file_path", "~/.ssh/id_rsa"}}, "deny"},
                      HookCase{"ordinary_read", "Read", {{"file_path", "/etc/hostname"}}, "allow"},
                      HookCase{"ordinary_write", "Write", {{"file_path", "/tmp/notes.txt"}, {"content", "x"}}, "allow"},
                      HookCase{"fetch", "WebFetch", {{"url", "https://example.com/"}, {"prompt", "p"}}, "allow"},
                      HookCase{"mcp", "mcp__github__list_issues", {{"repo", "a/b"}}, "allow"},
                      HookCase{"unchecked_tool", "TodoWrite", {{"todos", nlohmann::json::array()}}, "allow"}),
    [](const auto& row) { return std::string(row.param.name); });

using Hook = DaemonFixture;

TEST_F(Hook, FailsClosedWithoutADaemon) {
    const auto run = runEngine(runs(), {"hook", "claude"}, hookInput("Bash", {{"command", "ls"}}).dump());
    ASSERT_EQ(run.exitCode, 0);
    const auto output = nlohmann::json::parse(run.out)["hookSpecificOutput"];
    EXPECT_EQ(output["permissionDecision"], "deny");
    EXPECT_NE(output["permissionDecisionReason"].get<std::string>().find("Turn protection on"), std::string::npos);
}

TEST_F(Hook, FailsClosedOnInputItCannotRead) {
    startDaemon();
    const auto run = runEngine(runs(), {"hook", "claude"}, "{not json");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(nlohmann::json::parse(run.out)["hookSpecificOutput"]["permissionDecision"], "deny");
}

struct DyingEngineCase {
    const char* name;
    const char* script;  // the body of the program the hook entry runs; empty: no program at all
    int exitCode;        // what the agent sees
};

class InstalledHookCommand : public DaemonFixture, public ::testing::WithParamInterface<DyingEngineCase> {};

// The command written into the agent's settings, run as the agent runs it (by the shell), with
// an engine that dies in every way it could: the agent must see the blocking status.
TEST_P(InstalledHookCommand, FailsClosedWhenTheEngineDies) {
    const auto program = home / "bin/vardex";
    if (*GetParam().script != '\0') writeScript(program, GetParam().script);
    const auto command = engine::hookCommand(program, engine::HookFamily::claude);
    EngineRun run(runs(), "/bin/sh", {"sh", "-c", command}, hookInput("Bash", {{"command", "ls"}}).dump());
    EXPECT_EQ(run.finish().exitCode, GetParam().exitCode) << command;
}

INSTANTIATE_TEST_SUITE_P(
    Deaths, InstalledHookCommand,
    ::testing::Values(DyingEngineCase{"crashes", "kill -SEGV $$", 2}, DyingEngineCase{"is_killed", "kill -KILL $$", 2},
                      DyingEngineCase{"aborts", "kill -ABRT $$", 2},
                      DyingEngineCase{"fails_after_printing_an_allow",
                                      "echo '{\"hookSpecificOutput\":{\"permissionDecision\":\"allow\"}}'; exit 1", 2},
                      DyingEngineCase{"is_missing", "", 2}, DyingEngineCase{"answers", "cat >/dev/null; exit 0", 0}),
    [](const auto& row) { return std::string(row.param.name); });

// A socket that takes connections and never says a word: a daemon stuck for good.
class SilentSocket {
public:
    explicit SilentSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.data(), path.size());
        EXPECT_EQ(::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
    }
    ~SilentSocket() { ::close(fd_); }

private:
    int fd_;
};

struct StuckCase {
    const char* name;
    const char* shell;  // runs the hook; $0 is the engine, $1 a scratch folder
};

class StuckHook : public DaemonFixture, public ::testing::WithParamInterface<StuckCase> {};

// Whatever the hook waits on, it ends by itself with a deny, long before the agent's own
// time-out would end it without one.
TEST_P(StuckHook, DeniesAtItsOwnDeadline) {
    std::filesystem::create_directories(std::filesystem::path(VardexPaths::socketPath()).parent_path());
    SilentSocket daemonThatNeverAnswers(VardexPaths::socketPath());
    ScopedEnv deadline("VARDEX_HOOK_SECONDS", "1");
    const std::vector<std::string> argv{"sh", "-c", GetParam().shell, VARDEX_ENGINE_EXE, runs().string()};
    const auto started = std::chrono::steady_clock::now();
    const auto run = EngineRun(runs(), "/bin/sh", argv, hookInput("Bash", {{"command", "ls"}}).dump()).finish();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(engine::hookTimeoutSeconds));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto output = nlohmann::json::parse(run.out.substr(0, run.out.find('\n')), nullptr, false);
    EXPECT_EQ(output["hookSpecificOutput"]["permissionDecision"], "deny") << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Waits, StuckHook,
    ::testing::Values(StuckCase{"daemon_never_answers", "exec \"$0\" hook claude"},
                      // The hook itself holds the pipe's writing end, so its input never ends.
                      StuckCase{"input_never_ends", "mkfifo \"$1/in\" && exec 3<>\"$1/in\" && exec \"$0\" hook claude <\"$1/in\""},
                      StuckCase{"input_without_end", "exec \"$0\" hook claude </dev/zero"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(HookEntry, TheAgentWaitsLongerThanTheHookEverDoes) {
    const auto text = engine::withHook(std::nullopt, engine::HookFamily::claude, "vardex hook claude || exit 2");
    ASSERT_TRUE(text.ok());
    const auto entry = nlohmann::json::parse(*text)["hooks"]["PreToolUse"][0]["hooks"][0];
    EXPECT_GT(entry["timeout"].get<double>(),
              engine::ClaudeHook::deadlineSeconds(1e9, std::nullopt) + 10) << entry.dump();
}

}  // namespace
}  // namespace vardex::testing
