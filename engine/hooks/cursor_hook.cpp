#include "daemon/agent_action.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/tool_input.hpp"

namespace vardex::engine {
namespace {

// Cursor has named its keys in snake_case and in camelCase; `key` is given in snake_case.
std::string camelCase(std::string_view key) {
    std::string camel;
    bool upper = false;
    for (const char c : key) {
        if (c == '_') {
            upper = true;
            continue;
        }
        camel += upper && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        upper = false;
    }
    return camel;
}

const nlohmann::json* field(const nlohmann::json& input, std::string_view key) {
    const std::string camel = camelCase(key);
    return ToolInput::member(input, {key, camel});
}

std::string textField(const nlohmann::json& input, std::string_view key) {
    const std::string camel = camelCase(key);
    return ToolInput::text(input, {key, camel});
}

// The folder the agent works in: the shell's own, else the first workspace root.
std::string folderOf(const nlohmann::json& input) {
    auto cwd = textField(input, "cwd");
    if (!cwd.empty()) return cwd;
    const auto* roots = field(input, "workspace_roots");
    if (roots != nullptr && roots->is_array() && !roots->empty() && roots->front().is_string()) {
        return roots->front().get<std::string>();
    }
    return {};
}

// Which hook the input is for; an input without the event's name is known by what it carries.
std::string eventOf(const nlohmann::json& input) {
    auto event = textField(input, "hook_event_name");
    if (!event.empty()) return event;
    if (field(input, "command") != nullptr && field(input, "tool_name") == nullptr) return "beforeShellExecution";
    if (field(input, "file_path") != nullptr) return "beforeReadFile";
    if (field(input, "tool_name") != nullptr) return "beforeMCPExecution";
    return {};
}

ToolInput::Actions actionsFor(const nlohmann::json& input) {
    if (!input.is_object()) return fail(std::string("The hook input is not a JSON object."));
    const AgentContext context{AgentKind::cursor, textField(input, "conversation_id"), folderOf(input), false};
    const auto event = eventOf(input);
    if (event == "beforeShellExecution") {
        const auto command = ToolInput::commandLine(field(input, "command"));
        if (!command) return ToolInput::missing("shell", "command");
        return ToolInput::just(makeShellAction(context, *command));
    }
    if (event == "beforeReadFile") {
        auto path = textField(input, "file_path");
        if (path.empty()) return ToolInput::missing("file read", "file_path");
        return ToolInput::just(makeFileAction(context, FileAccess::read, std::move(path)));
    }
    if (event == "beforeMCPExecution") {
        auto tool = textField(input, "tool_name");
        if (tool.empty()) return ToolInput::missing("MCP", "tool_name");
        // Cursor names the server by how it is reached, not by its name in the settings.
        auto server = textField(input, "server_name");
        if (server.empty()) server = textField(input, "url");
        if (server.empty()) server = textField(input, "command");
        return ToolInput::mcpCall(context, server.empty() ? "unknown" : server, std::move(tool),
                                  field(input, "tool_input"));
    }
    if (event.empty()) return fail(std::string("The hook input says neither which hook it is for nor what it does."));
    return fail("Vardex does not answer Cursor's " + event + " hook.");
}

// Cursor 1.7 read its messages in camelCase, 2.0 in snake_case: both are written.
nlohmann::json answer(const HookVerdict& verdict) {
    return {{"permission", verdict.allowed ? "allow" : "deny"},
            {"user_message", verdict.forUser},
            {"agent_message", verdict.forAgent},
            {"userMessage", verdict.forUser},
            {"agentMessage", verdict.forAgent}};
}

std::optional<Outcome> decisionIn(const nlohmann::json& output) {
    return parseWireText<Outcome>(ToolInput::text(output, {"permission"}));
}

}  // namespace

const HookAdapter cursorHook{
    "cursor",
    AgentKind::cursor,
    "Cursor hook (beforeShellExecution, beforeReadFile, beforeMCPExecution): JSON in, permission out",
    actionsFor,
    answer,
    nullptr,  // Cursor runs the command it asked about or none; it takes no other.
    decisionIn,
    R"({"conversation_id":"vardex-probe","hook_event_name":"beforeShellExecution","command":"true","cwd":"/"})",
};

}  // namespace vardex::engine
