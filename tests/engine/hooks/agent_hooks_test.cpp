#include <algorithm>

#include <nlohmann/json.hpp>

#include "bridge/vardex_paths.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/hook_core.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "support/scoped_env.hpp"

namespace vardex::testing {
namespace {

using nlohmann::json;

// What an agent makes of a hook's answer, read from the agent's published format rather than
// from the engine's own code: "allow" or "deny", or why the agent could not read it.
std::string decisionRead(std::string_view agent, const std::string& printed) {
    const auto answer = json::parse(printed, nullptr, false);
    const auto text = [](const json& object, const char* key) {
        return object.is_object() && object.contains(key) && object[key].is_string() ? object[key].get<std::string>()
                                                                                      : std::string();
    };
    if (!answer.is_object()) return "not JSON: " + printed.substr(0, 200);
    if (agent == "claude" || agent == "codex") {
        const auto& specific = answer.value("hookSpecificOutput", json());
        if (text(specific, "hookEventName") != "PreToolUse") return "no PreToolUse output: " + printed;
        if (text(specific, "permissionDecisionReason").empty()) return "no reason: " + printed;
        return text(specific, "permissionDecision");
    }
    if (agent == "cursor") {
        // Cursor 1.7 reads camelCase messages and 2.0 snake_case ones.
        for (const char* key : {"user_message", "agent_message", "userMessage", "agentMessage"}) {
            if (text(answer, key).empty()) return std::string("no ") + key + ": " + printed;
        }
        return text(answer, "permission");
    }
    if (text(answer, "reason").empty()) return "no reason: " + printed;
    return text(answer, "decision");
}

json claudeCall(const std::string& tool, json input) {
    return {{"session_id", "s-1"},           {"transcript_path", "/tmp/t.jsonl"},   {"cwd", "/work/project"},
            {"permission_mode", "default"},  {"hook_event_name", "PreToolUse"},     {"tool_name", tool},
            {"tool_input", std::move(input)}, {"tool_use_id", "toolu_01"}};
}

json codexCall(const std::string& tool, json input) {
    auto call = claudeCall(tool, std::move(input));
    call["model"] = "gpt-5-codex";
    return call;
}

json cursorCall(const std::string& event, json fields) {
    json call{{"conversation_id", "c-1"}, {"generation_id", "g-1"}, {"hook_event_name", event},
              {"workspace_roots", {"/work/project"}}};
    call.update(fields);
    return call;
}

json geminiCall(const std::string& tool, json input) {
    return {{"session_id", "s-1"},           {"transcript_path", "/tmp/t.json"},  {"cwd", "/work/project"},
            {"hook_event_name", "BeforeTool"}, {"timestamp", "2026-05-01T10:00:00Z"}, {"tool_name", tool},
            {"tool_input", std::move(input)}};
}

struct Sample {
    const char* name;
    const char* agent;
    std::string input;  // empty with `huge`: a call larger than the hook reads
    const char* answer;
    // What the daemon was asked about, in order, as its activity log sums each action up.
    std::vector<std::string> asked;
    bool huge = false;
};

class AgentHookSamples : public DaemonFixture, public ::testing::WithParamInterface<Sample> {};

// Each agent's hook as the agent runs it: a process with the call on standard input, against a
// live daemon that has nobody to ask, so a question is settled by the policy's default.
TEST_P(AgentHookSamples, AnswerInTheAgentsOwnFormat) {
    const auto& sample = GetParam();
    startDaemon();
    std::string input = sample.input;
    if (sample.huge) {
        input = R"({"tool_name":"Bash","tool_input":{"command":")" + std::string(engine::HookCore::maxInputBytes, 'a') + "\"}}";
    }
    const auto run = EngineRun(runs(), {"hook", sample.agent}, input).finish();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << "one answer, one line: " << run.out;
    EXPECT_EQ(decisionRead(sample.agent, run.out), sample.answer);

    // The daemon writes a decision's line just after the agent hears it.
    auto entries = auditHolding(sample.asked.size());
    std::reverse(entries.begin(), entries.end());
    std::vector<std::string> asked;
    for (const auto& entry : entries) {
        asked.push_back(entry.actionSummary);
        EXPECT_EQ(wireText(entry.agent), sample.agent) << entry.actionSummary;
    }
    EXPECT_EQ(asked, sample.asked);
}

const std::string ssh = "~/.ssh/id_rsa";
const std::string sshRead = "file_read " + ssh;

INSTANTIATE_TEST_SUITE_P(Calls, AgentHookSamples, ::testing::Values(
        Sample{"claude_bash", "claude", claudeCall("Bash", {{"command", "git status"}, {"description", "Status"}}).dump(), "allow", {"git status"}},
        Sample{"claude_read_of_a_key", "claude", claudeCall("Read", {{"file_path", ssh}}).dump(), "deny", {sshRead}},
        Sample{"claude_unchecked_tool", "claude", claudeCall("TodoWrite", {{"todos", json::array()}}).dump(), "allow", {}},
        Sample{"claude_command_of_the_wrong_type", "claude", claudeCall("Bash", {{"command", 7}}).dump(), "deny", {}},
        Sample{"claude_not_json", "claude", "{\"tool_name\": \"Bash\"", "deny", {}},

        Sample{"codex_argument_vector", "codex", codexCall("shell", {{"command", {"bash", "-lc", "ls -la"}}, {"workdir", "/work/project"}}).dump(), "allow", {"ls -la"}},
        Sample{"codex_home_wipe", "codex", codexCall("shell", {{"command", "rm -rf ~"}}).dump(), "deny", {"rm -rf ~"}},
        Sample{"codex_patch_of_two_files", "codex", codexCall("apply_patch", {{"input", "*** Begin Patch\n*** Add File: src/a.txt\n+hi\n*** Delete File: old.txt\n*** End Patch\n"}}).dump(), "allow", {"file_write src/a.txt", "file_delete old.txt"}},
        Sample{"codex_patch_naming_no_file", "codex", codexCall("apply_patch", {{"input", "*** Begin Patch\n*** End Patch\n"}}).dump(), "deny", {}},
        Sample{"codex_mcp_tool", "codex", codexCall("mcp__docs__search", {{"query", "hooks"}}).dump(), "allow", {"mcp docs.search"}},
        Sample{"codex_unknown_fields", "codex", [] { auto c = codexCall("shell", {{"command", "ls"}, {"sandbox", {{"mode", "x"}}}}); c["turn"] = {1, 2}; return c.dump(); }(), "allow", {"ls"}},
        Sample{"codex_huge", "codex", "", "deny", {}, true},

        Sample{"cursor_shell", "cursor", cursorCall("beforeShellExecution", {{"command", "git status"}, {"cwd", "/work/project"}}).dump(), "allow", {"git status"}},
        Sample{"cursor_camel_case_read_of_a_key", "cursor", json{{"conversationId", "c-1"}, {"hookEventName", "beforeReadFile"}, {"filePath", ssh}, {"workspaceRoots", {"/w"}}}.dump(), "deny", {sshRead}},
        Sample{"cursor_read_with_its_content", "cursor", cursorCall("beforeReadFile", {{"file_path", "/work/project/README.md"}, {"content", "# hi"}, {"attachments", json::array()}}).dump(), "allow", {"file_read /work/project/README.md"}},
        Sample{"cursor_mcp_arguments_as_text", "cursor", cursorCall("beforeMCPExecution", {{"tool_name", "search"}, {"tool_input", R"({"q":"x"})"}, {"url", "https://docs.example/mcp"}}).dump(), "allow", {"mcp https://docs.example/mcp.search"}},
        Sample{"cursor_event_unsaid", "cursor", json{{"conversation_id", "c-1"}, {"command", "ls"}}.dump(), "allow", {"ls"}},
        Sample{"cursor_event_it_does_not_answer", "cursor", cursorCall("beforeSubmitPrompt", {{"prompt", "hi"}}).dump(), "deny", {}},
        Sample{"cursor_read_without_a_path", "cursor", cursorCall("beforeReadFile", {{"content", "x"}}).dump(), "deny", {}},

        Sample{"gemini_shell", "gemini", geminiCall("run_shell_command", {{"command", "ls"}, {"dir_path", "src"}}).dump(), "allow", {"ls"}},
        Sample{"gemini_read_of_a_key", "gemini", geminiCall("read_file", {{"absolute_path", ssh}}).dump(), "deny", {sshRead}},
        Sample{"gemini_many_files", "gemini", geminiCall("read_many_files", {{"paths", {"a.md", "docs/b.md"}}}).dump(), "allow", {"file_read a.md", "file_read docs/b.md"}},
        Sample{"gemini_many_files_not_a_list", "gemini", geminiCall("read_many_files", {{"paths", "a.md"}}).dump(), "deny", {}},
        Sample{"gemini_mcp_with_its_context", "gemini", [] { auto c = geminiCall("mcp_git_hub_create_issue", {{"title", "t"}}); c["mcp_context"] = {{"server_name", "git_hub"}}; return c.dump(); }(), "allow", {"mcp git_hub.create_issue"}},
        Sample{"gemini_unchecked_tool", "gemini", geminiCall("google_web_search", {{"query", "q"}}).dump(), "allow", {}},
        Sample{"gemini_no_tool", "gemini", geminiCall("", json::object()).dump(), "deny", {}}), byName);

struct RewriteCase {
    const char* name;
    const char* agent;
    json input;
    json change;  // what the rewrite adds to the answer, as a JSON patch
    bool uncontained = true;  // a command that cannot be contained may still run
};

class CommandRewriteSeam : public DaemonFixture, public ::testing::WithParamInterface<RewriteCase> {};

// An allowed shell command can be handed back to run another way, in the place each agent reads
// a rewritten input from; an agent that takes none, and a denied call, get their answer as ever.
TEST_P(CommandRewriteSeam, AnAllowedCommandCanBeRunAnotherWay) {
    startDaemon();
    // The hook runs inside this test program; the daemon is the engine configured here.
    ScopedEnv engineBinary("VARDEX_BIN", VARDEX_ENGINE_EXE);
    const auto* adapter = engine::agentHook(GetParam().agent);
    ASSERT_NE(adapter, nullptr);
    const auto rewrite = [](const Action& action) {
        return engine::HookCore::ShellRoute{"sandboxed " + std::get<ShellAction>(action.kind).raw, GetParam().uncontained,
                                            "No sandbox here."};
    };
    const auto text = GetParam().input.dump();
    const auto plain = engine::HookCore::run(*adapter, text, VardexPaths::socketPath(), 5);
    const auto rewritten = engine::HookCore::run(*adapter, text, VardexPaths::socketPath(), 5, rewrite);
    EXPECT_EQ(json::diff(plain, rewritten), GetParam().change) << rewritten.dump();
}

INSTANTIATE_TEST_SUITE_P(Agents, CommandRewriteSeam, ::testing::Values(
        RewriteCase{"claude_keeps_the_rest_of_the_input", "claude", claudeCall("Bash", {{"command", "ls"}, {"description", "List"}}),
                    json::parse(R"([{"op":"add","path":"/hookSpecificOutput/updatedInput","value":{"command":"sandboxed ls","description":"List"}}])")},
        RewriteCase{"codex_keeps_an_argument_vector", "codex", codexCall("shell", {{"command", {"bash", "-lc", "ls"}}}),
                    json::parse(R"([{"op":"add","path":"/hookSpecificOutput/updatedInput","value":{"command":["sh","-c","sandboxed ls"]}}])")},
        RewriteCase{"gemini_merges_the_command", "gemini", geminiCall("run_shell_command", {{"command", "ls"}}),
                    json::parse(R"([{"op":"add","path":"/hookSpecificOutput","value":{"hookEventName":"BeforeTool","tool_input":{"command":"sandboxed ls"}}}])")},
        RewriteCase{"cursor_takes_none", "cursor", cursorCall("beforeShellExecution", {{"command", "ls"}}), json::array()},
        RewriteCase{"a_denied_call_is_not_rewritten", "claude", claudeCall("Bash", {{"command", "rm -rf ~"}}), json::array()},
        RewriteCase{"cursor_refused_where_containment_is_required", "cursor", cursorCall("beforeShellExecution", {{"command", "ls"}}),
                    json::parse(R"([{"op":"replace","path":"/agentMessage","value":"No sandbox here."},{"op":"replace","path":"/agent_message","value":"No sandbox here."},{"op":"replace","path":"/permission","value":"deny"},{"op":"replace","path":"/userMessage","value":"No sandbox here."},{"op":"replace","path":"/user_message","value":"No sandbox here."}])"),
                    false}), byName);

struct SandboxedHookCase {
    const char* name;
    bool bwrapPresent;  // the machine's own bubblewrap, else none
    bool required;
    const char* answer;
    const char* said;  // in the rewritten command when allowed, in the reason when denied
};

class SandboxedHook : public DaemonFixture, public ::testing::WithParamInterface<SandboxedHookCase> {};

// The installed hook as Claude Code runs it: an allowed command comes back to run in the sandbox;
// without one it runs as before, unless the user requires the sandbox.
TEST_P(SandboxedHook, ContainsOrRefusesAnAllowedCommand) {
    const auto& c = GetParam();
    if (c.bwrapPresent && !engine::probeSandbox(VardexPaths::env("PATH").value_or("")).available()) {
        GTEST_SKIP() << "No sandbox on this machine.";
    }
    ScopedEnv bwrap("VARDEX_BWRAP", c.bwrapPresent ? std::nullopt : std::optional<std::string>("/nonexistent/bwrap"));
    if (c.required) writeFile(VardexPaths::userConfigDirectory() / "sandbox.json", R"({"required":true})");
    startDaemon();
    const auto call = claudeCall("Bash", {{"command", "git status"}, {"description", "Status"}}).dump();
    const auto run = EngineRun(runs(), {"hook", "claude"}, call).finish();
    EXPECT_EQ(decisionRead("claude", run.out), c.answer);
    const auto specific = json::parse(run.out)["hookSpecificOutput"];
    const auto said = c.answer == std::string("allow") ? specific.value("updatedInput", json::object()).value("command", "")
                                                       : specific.value("permissionDecisionReason", "");
    EXPECT_NE(said.find(c.said), std::string::npos) << run.out;
    EXPECT_EQ(specific.contains("updatedInput"), *c.said != '\0' && c.answer == std::string("allow")) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Machines, SandboxedHook, ::testing::Values(
        SandboxedHookCase{"contained", true, false, "allow", " sandbox -- bash -c 'git status'"},
        SandboxedHookCase{"without_bubblewrap_as_before", false, false, "allow", ""},
        SandboxedHookCase{"without_bubblewrap_but_required", false, true, "deny", "the sandbox is unavailable"}), byName);

}  // namespace
}  // namespace vardex::testing
