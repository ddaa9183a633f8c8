#include "daemon/agent_action.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/pre_tool_use.hpp"

namespace vardex::engine {
namespace {

using PreToolUse::FileTool;

constexpr FileTool fileTools[] = {
    {"Read", false, "file_path"},     {"Grep", false, "path"},       {"Glob", false, "path"},
    {"LS", false, "path"},            {"Write", true, "file_path"},  {"Edit", true, "file_path"},
    {"MultiEdit", true, "file_path"}, {"NotebookEdit", true, "notebook_path"},
};

// Bash runs a shell command; the file tools read or write a path; WebFetch fetches a URL;
// "mcp__SERVER__TOOL" calls an MCP tool. Any other tool (a to-do list, a sub-agent) touches
// nothing Vardex guards.
ToolInput::Actions actionsFor(const nlohmann::json& input) {
    auto call = PreToolUse::toolOf(input);
    if (!call) return fail(call.error());
    const auto& [tool, toolInput] = *call;
    const auto context = PreToolUse::contextOf(input, AgentKind::claude);
    if (tool == "Bash") {
        const auto command = ToolInput::commandLine(ToolInput::member(toolInput, {"command"}));
        if (!command) return ToolInput::missing(tool, "command");
        return ToolInput::just(makeShellAction(context, *command));
    }
    if (auto file = PreToolUse::fileAction(fileTools, tool, toolInput, context)) return std::move(*file);
    if (tool == "WebFetch") {
        std::string url = ToolInput::text(toolInput, {"url"});
        if (url.empty()) return ToolInput::missing(tool, "url");
        return ToolInput::just(makeNetworkAction(context, std::move(url)));
    }
    if (auto mcp = PreToolUse::mcpAction(tool, toolInput, context)) return std::move(*mcp);
    return ToolInput::nothing();
}

}  // namespace

const HookAdapter claudeHook = PreToolUse::adapter(
    "claude", AgentKind::claude, "Claude Code PreToolUse hook: JSON in, decision out", actionsFor,
    R"({"session_id":"vardex-probe","cwd":"/","hook_event_name":"PreToolUse","tool_name":"Bash","tool_input":{"command":"true"}})");

}  // namespace vardex::engine
