#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "hooks/hook_adapter.hpp"
#include "hooks/tool_input.hpp"

// The "PreToolUse" hook format that Claude Code and Codex share: {"tool_name", "tool_input",
// "session_id", "cwd", ...} in, {"hookSpecificOutput": {"permissionDecision", ...}} out.
namespace vardex::engine::PreToolUse {

// A tool that reads or writes the file (or searches the folder) named by one of its input's
// keys.
struct FileTool {
    std::string_view name;
    bool writes;
    std::string_view pathKey;
};

// The agent, session and folder of the call.
AgentContext contextOf(const nlohmann::json& input, AgentKind agent);

// The action of the file tools the agent has; nothing when `tool` is none of them. A search
// without a path looks in the working folder, which the agent may read.
std::optional<ToolInput::Actions> fileAction(std::span<const FileTool> tools, const std::string& tool,
                                             const nlohmann::json& toolInput, const AgentContext& context);

// "mcp__SERVER__TOOL" as an MCP call; nothing for other names, a refusal for a name with the
// prefix but not that form.
std::optional<ToolInput::Actions> mcpAction(const std::string& tool, const nlohmann::json& toolInput,
                                            const AgentContext& context);

// The tool's name and its input (an empty object when absent); fails when there is no name.
Result<std::pair<std::string, nlohmann::json>, std::string> toolOf(const nlohmann::json& input);

nlohmann::json answer(const HookVerdict& verdict);
std::optional<nlohmann::json> withCommand(const nlohmann::json& input, const std::string& command);
std::optional<Outcome> decisionIn(const nlohmann::json& output);

// An agent of this format: only its name and its tools are its own.
constexpr HookAdapter adapter(std::string_view name, AgentKind agent, std::string_view description,
                              ToolInput::Actions (*actionsFor)(const nlohmann::json&), std::string_view probeInput) {
    return {name, agent, description, actionsFor, answer, withCommand, decisionIn, probeInput};
}

}  // namespace vardex::engine::PreToolUse
