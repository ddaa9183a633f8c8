#include "hooks/pre_tool_use.hpp"

#include "daemon/agent_action.hpp"

namespace vardex::engine::PreToolUse {

AgentContext contextOf(const nlohmann::json& input, AgentKind agent) {
    return {agent, ToolInput::text(input, {"session_id"}), ToolInput::text(input, {"cwd"}), false};
}

std::optional<ToolInput::Actions> fileAction(std::span<const FileTool> tools, const std::string& tool,
                                             const nlohmann::json& toolInput, const AgentContext& context) {
    for (const auto& file : tools) {
        if (tool != file.name) continue;
        std::string path = ToolInput::text(toolInput, {file.pathKey});
        const bool search = !file.writes && file.pathKey == "path";
        if (path.empty() && search) return ToolInput::nothing();
        if (path.empty()) return ToolInput::missing(tool, file.pathKey);
        return ToolInput::just(
            makeFileAction(context, file.writes ? FileAccess::write : FileAccess::read, std::move(path)));
    }
    return std::nullopt;
}

std::optional<ToolInput::Actions> mcpAction(const std::string& tool, const nlohmann::json& toolInput,
                                            const AgentContext& context) {
    if (!tool.starts_with("mcp__")) return std::nullopt;
    auto names = ToolInput::splitToolName(tool, "mcp__", "__");
    if (!names) return fail("The MCP tool name " + tool + " is not of the form mcp__SERVER__TOOL.");
    return ToolInput::mcpCall(context, std::move(names->first), std::move(names->second), &toolInput);
}

Result<std::pair<std::string, nlohmann::json>, std::string> toolOf(const nlohmann::json& input) {
    if (!input.is_object()) return fail(std::string("The hook input is not a JSON object."));
    std::string tool = ToolInput::text(input, {"tool_name"});
    if (tool.empty()) return fail(std::string("The hook input names no tool."));
    const auto* toolInput = ToolInput::member(input, {"tool_input"});
    return std::pair{std::move(tool), toolInput != nullptr ? *toolInput : nlohmann::json::object()};
}

nlohmann::json answer(const HookVerdict& verdict) {
    nlohmann::json output{{"hookEventName", "PreToolUse"},
                          {"permissionDecision", verdict.allowed ? "allow" : "deny"},
                          {"permissionDecisionReason", verdict.allowed ? verdict.forUser : verdict.forAgent}};
    if (verdict.allowed && verdict.updatedInput) output["updatedInput"] = *verdict.updatedInput;
    return {{"hookSpecificOutput", std::move(output)}};
}

std::optional<nlohmann::json> withCommand(const nlohmann::json& input, const std::string& command) {
    const auto* toolInput = ToolInput::member(input, {"tool_input"});
    if (toolInput == nullptr || !toolInput->is_object()) return std::nullopt;
    // The agent replaces the whole input with this one, so everything else it said stays.
    auto updated = *toolInput;
    const auto* before = ToolInput::member(updated, {"command"});
    // A command given as an argument vector stays one.
    updated["command"] = before != nullptr && before->is_array() ? nlohmann::json{"sh", "-c", command}
                                                                 : nlohmann::json(command);
    return updated;
}

std::optional<Outcome> decisionIn(const nlohmann::json& output) {
    const auto* specific = ToolInput::member(output, {"hookSpecificOutput"});
    if (specific == nullptr || ToolInput::text(*specific, {"hookEventName"}) != "PreToolUse") return std::nullopt;
    return parseWireText<Outcome>(ToolInput::text(*specific, {"permissionDecision"}));
}

}  // namespace vardex::engine::PreToolUse
