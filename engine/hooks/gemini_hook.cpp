#include "daemon/agent_action.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/tool_input.hpp"

namespace vardex::engine {
namespace {

struct FileTool {
    std::string_view name;
    bool writes;
    // A search or listing without a folder looks in the working folder, which the agent may read.
    bool folderOptional;
};

constexpr FileTool fileTools[] = {
    {"read_file", false, false}, {"write_file", true, false},        {"replace", true, false},
    {"edit", true, false},       {"list_directory", false, true},    {"glob", false, true},
    {"grep", false, true},       {"search_file_content", false, true},
};

AgentContext contextOf(const nlohmann::json& input) {
    return {AgentKind::gemini, ToolInput::text(input, {"session_id"}), ToolInput::text(input, {"cwd"}), false};
}

ToolInput::Actions shellAction(const nlohmann::json& toolInput, AgentContext context) {
    const auto command = ToolInput::commandLine(ToolInput::member(toolInput, {"command"}));
    if (!command) return ToolInput::missing("run_shell_command", "command");
    const auto folder = ToolInput::text(toolInput, {"dir_path", "directory"});
    if (!folder.empty()) context.cwd = ToolInput::pathFrom(context.cwd, folder);
    return ToolInput::just(makeShellAction(std::move(context), *command));
}

ToolInput::Actions manyReads(const nlohmann::json& toolInput, const AgentContext& context) {
    std::vector<Action> actions;
    for (const auto key : {"paths", "include"}) {
        const auto* list = ToolInput::member(toolInput, {key});
        if (list == nullptr) continue;
        if (!list->is_array()) return fail("The read_many_files call has \"" + std::string(key) + "\" that is not a list.");
        for (const auto& path : *list) {
            if (!path.is_string() || path.get<std::string>().empty()) {
                return fail(std::string("The read_many_files call names a file that is not a text."));
            }
            actions.push_back(makeFileAction(context, FileAccess::read, path.get<std::string>()));
        }
    }
    if (actions.empty()) return ToolInput::missing("read_many_files", "paths");
    return actions;
}

ToolInput::Actions fetches(const nlohmann::json& toolInput, const AgentContext& context) {
    auto url = ToolInput::text(toolInput, {"url"});
    const auto urls = url.empty() ? ToolInput::urlsIn(ToolInput::text(toolInput, {"prompt"}))
                                  : std::vector<std::string>{std::move(url)};
    std::vector<Action> actions;
    for (const auto& each : urls) actions.push_back(makeNetworkAction(context, each));
    return actions;
}

// MCP tools come as "mcp_SERVER_TOOL", and the call's "mcp_context" may name the server.
std::optional<ToolInput::Actions> mcpAction(const std::string& tool, const nlohmann::json& input,
                                            const nlohmann::json& toolInput, const AgentContext& context) {
    const auto* mcp = ToolInput::member(input, {"mcp_context"});
    const bool described = mcp != nullptr && mcp->is_object();
    if (!described && !tool.starts_with("mcp_")) return std::nullopt;
    std::string server = described ? ToolInput::text(*mcp, {"server_name", "serverName", "server"}) : "";
    std::string name = described ? ToolInput::text(*mcp, {"tool_name", "toolName"}) : "";
    if (!server.empty() && name.empty()) {
        const std::string prefix = "mcp_" + server + "_";
        name = tool.starts_with(prefix) && tool.size() > prefix.size() ? tool.substr(prefix.size()) : tool;
    }
    if (server.empty()) {
        auto names = ToolInput::splitToolName(tool, "mcp_", "_");
        if (!names) return fail("The MCP tool name " + tool + " is not of the form mcp_SERVER_TOOL.");
        server = std::move(names->first);
        if (name.empty()) name = std::move(names->second);
    }
    return ToolInput::mcpCall(context, std::move(server), std::move(name), &toolInput);
}

ToolInput::Actions actionsFor(const nlohmann::json& input) {
    if (!input.is_object()) return fail(std::string("The hook input is not a JSON object."));
    const std::string tool = ToolInput::text(input, {"tool_name"});
    if (tool.empty()) return fail(std::string("The hook input names no tool."));
    const auto* given = ToolInput::member(input, {"tool_input"});
    const auto toolInput = given != nullptr ? *given : nlohmann::json::object();
    const auto context = contextOf(input);
    if (tool == "run_shell_command") return shellAction(toolInput, context);
    if (tool == "read_many_files") return manyReads(toolInput, context);
    if (tool == "web_fetch") return fetches(toolInput, context);
    for (const auto& file : fileTools) {
        if (tool != file.name) continue;
        auto path = ToolInput::text(toolInput, {"file_path", "absolute_path", "dir_path", "path"});
        if (path.empty() && file.folderOptional) return ToolInput::nothing();
        if (path.empty()) return ToolInput::missing(tool, "file_path");
        return ToolInput::just(makeFileAction(context, file.writes ? FileAccess::write : FileAccess::read, path));
    }
    if (auto mcp = mcpAction(tool, input, toolInput, context)) return std::move(*mcp);
    return ToolInput::nothing();
}

// Gemini CLI has no "ask": by the time this is written the person has answered through the app.
nlohmann::json answer(const HookVerdict& verdict) {
    nlohmann::json output{{"decision", verdict.allowed ? "allow" : "deny"},
                          {"reason", verdict.allowed ? verdict.forUser : verdict.forAgent}};
    if (verdict.allowed && verdict.updatedInput) {
        output["hookSpecificOutput"] = {{"hookEventName", "BeforeTool"}, {"tool_input", *verdict.updatedInput}};
    }
    return output;
}

// Gemini CLI lays what the hook gives over the model's own arguments.
std::optional<nlohmann::json> withCommand(const nlohmann::json&, const std::string& command) {
    return nlohmann::json{{"command", command}};
}

std::optional<Outcome> decisionIn(const nlohmann::json& output) {
    const auto decision = ToolInput::text(output, {"decision"});
    if (decision == "block") return Outcome::deny;
    if (decision == "ask") return std::nullopt;
    return parseWireText<Outcome>(decision);
}

}  // namespace

const HookAdapter geminiHook{
    "gemini",
    AgentKind::gemini,
    "Gemini CLI BeforeTool hook: JSON in, decision out",
    actionsFor,
    answer,
    withCommand,
    decisionIn,
    R"({"session_id":"vardex-probe","cwd":"/","hook_event_name":"BeforeTool","tool_name":"run_shell_command","tool_input":{"command":"true"}})",
};

}  // namespace vardex::engine
