#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "support/test_daemon.hpp"

#include "bridge/vardex_paths.hpp"
#include "daemon/action_record.hpp"
#include "daemon/claude_hook.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"

namespace vardex::testing {
namespace {

using engine::ClaudeHook::actionFor;

nlohmann::json hookInput(const std::string& tool, nlohmann::json toolInput) {
    return {{"session_id", "cc-1"}, {"cwd", "/work/project"}, {"hook_event_name", "PreToolUse"}, {"tool_name", tool},
            {"tool_input", std::move(toolInput)}};
}

struct MappingCase {
    const char* name;
    nlohmann::json input;
    // The action's wire kind and one-line summary; empty when the tool is not checked, and
    // "refused" when the input cannot be checked at all.
    std::string action;
};

class HookMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(HookMapping, ToolCallsBecomeActions) {
    const auto action = actionFor(GetParam().input);
    const auto made = action ? *action : std::nullopt;
    const auto seen = made ? std::string(actionKindName(made->kind)) + ": " + engine::summarizeAction(*made) : "";
    EXPECT_EQ(action ? seen : "refused", GetParam().action);
    if (!made) return;
    EXPECT_EQ(made->context, (AgentContext{AgentKind::claude, "cc-1", "/work/project", false}));
}

INSTANTIATE_TEST_SUITE_P(Tools, HookMapping, ::testing::Values(
        MappingCase{"bash", hookInput("Bash", {{"command", "git status"}}), "shell: git status"},
        MappingCase{"read", hookInput("Read", {{"file_path", "/etc/hosts"}}), "file_read: file_read /etc/hosts"},
        MappingCase{"edit", hookInput("Edit", {{"file_path", "/w/a.txt"}, {"old_string", "a"}}), "file_write: file_write /w/a.txt"},
        MappingCase{"grep_in_a_folder", hookInput("Grep", {{"pattern", "k"}, {"path", "/h/.ssh"}}), "file_read: file_read /h/.ssh"},
        MappingCase{"web_fetch", hookInput("WebFetch", {{"url", "https://x.example/a"}}), "network: https://x.example/a"},
        MappingCase{"mcp_tool_with_underscores", hookInput("mcp__github__create_pull_request", nlohmann::json::object()), "mcp_tool_call: mcp github.create_pull_request"},
        MappingCase{"unchecked_tool", hookInput("TodoWrite", {{"todos", nlohmann::json::array()}}), ""},
        MappingCase{"not_an_object", nlohmann::json::array(), "refused"},
        MappingCase{"bash_without_its_command", hookInput("Bash", {{"cmd", "ls"}}), "refused"},
        MappingCase{"mcp_name_without_a_tool", hookInput("mcp__onlyserver", nlohmann::json::object()), "refused"},
        MappingCase{"no_tool_name", hookInput("", nlohmann::json::object()), "refused"}), byName);

struct HookCase {
    const char* name;
    bool daemonRuns;
    std::string input;  // what the agent writes on the hook's standard input
    std::string decision;
};

class HookAgainstDaemon : public DaemonFixture, public ::testing::WithParamInterface<HookCase> {};

// The hook as Claude Code runs it: a process with the input on standard input, against a live
// daemon with nobody to ask, or none. Which action a tool call becomes is the mapping's test.
TEST_P(HookAgainstDaemon, PrintsThePreToolUseDecision) {
    if (GetParam().daemonRuns) startDaemon();
    const auto run = EngineRun(runs(), {"hook", "claude"}, GetParam().input).finish();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto output = nlohmann::json::parse(run.out)["hookSpecificOutput"];
    EXPECT_EQ(output["hookEventName"], "PreToolUse");
    EXPECT_EQ(output["permissionDecision"], GetParam().decision) << output.dump();
    EXPECT_FALSE(output["permissionDecisionReason"].get<std::string>().empty());
}

const std::string bash = hookInput("Bash", {{"command", "ls -la"}}).dump();

INSTANTIATE_TEST_SUITE_P(Tools, HookAgainstDaemon, ::testing::Values(HookCase{"harmless_bash", true, bash, "allow"},
                      HookCase{"home_wipe", true, hookInput("Bash", {{"command", "rm -rf ~"}}).dump(), "deny"},
                      HookCase{"no_daemon", false, bash, "deny"}, HookCase{"unreadable_input", true, "{not json", "deny"}), byName);

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
    EngineRun run(runs(), "/bin/sh", {"-c", command}, hookInput("Bash", {{"command", "ls"}}).dump());
    EXPECT_EQ(run.finish().exitCode, GetParam().exitCode) << command;
}

INSTANTIATE_TEST_SUITE_P(Deaths, InstalledHookCommand, ::testing::Values(DyingEngineCase{"crashes", "kill -SEGV $$", 2},
                      DyingEngineCase{"fails_after_printing_an_allow", "echo '{\"hookSpecificOutput\":{\"permissionDecision\":\"allow\"}}'; exit 1", 2},
                      DyingEngineCase{"is_missing", "", 2}, DyingEngineCase{"answers", "cat >/dev/null; exit 0", 0}), byName);

struct StuckCase {
    const char* name;
    const char* shell;  // runs the hook; $0 is the engine, $1 a scratch folder
};

class StuckHook : public DaemonFixture, public ::testing::WithParamInterface<StuckCase> {};

// Whatever the hook waits on, it ends by itself with a deny, long before the agent's own
// time-out would end it without one.
TEST_P(StuckHook, DeniesAtItsOwnDeadline) {
    std::filesystem::create_directories(std::filesystem::path(VardexPaths::socketPath()).parent_path());
    TestDaemon daemonThatNeverAnswers(VardexPaths::socketPath(), scripts::silent());
    ScopedEnv deadline("VARDEX_HOOK_SECONDS", "1");
    const std::vector<std::string> argv{"-c", GetParam().shell, VARDEX_ENGINE_EXE, runs().string()};
    const auto run = EngineRun(runs(), "/bin/sh", argv, hookInput("Bash", {{"command", "ls"}}).dump()).finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto output = nlohmann::json::parse(run.out.substr(0, run.out.find('\n')), nullptr, false);
    EXPECT_EQ(output["hookSpecificOutput"]["permissionDecision"], "deny") << run.out;
}

INSTANTIATE_TEST_SUITE_P(Waits, StuckHook, ::testing::Values(StuckCase{"daemon_never_answers", "exec \"$0\" hook claude"},
                      // The hook itself holds the pipe's writing end, so its input never ends.
                      StuckCase{"input_never_ends", "mkfifo \"$1/in\" && exec 3<>\"$1/in\" && exec \"$0\" hook claude <\"$1/in\""},
                      StuckCase{"input_without_end", "exec \"$0\" hook claude </dev/zero"}), byName);

TEST(HookEntry, TheAgentWaitsLongerThanTheHookEverDoes) {
    const auto text = engine::withHook(std::nullopt, engine::HookFamily::claude, "vardex hook claude || exit 2");
    ASSERT_TRUE(text.ok());
    const auto entry = nlohmann::json::parse(*text)["hooks"]["PreToolUse"][0]["hooks"][0];
    EXPECT_GT(entry["timeout"].get<double>(),
              engine::ClaudeHook::deadlineSeconds(1e9, std::nullopt) + 10) << entry.dump();
}

}  // namespace
}  // namespace vardex::testing
