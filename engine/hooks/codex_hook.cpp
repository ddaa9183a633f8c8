#include <array>
#include <sstream>

#include "daemon/agent_action.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/pre_tool_use.hpp"

namespace vardex::engine {
namespace {

// The names Codex has given its shell tool over its versions.
constexpr std::array<std::string_view, 5> shellTools{"Bash", "shell", "local_shell", "exec_command", "container.exec"};
constexpr std::string_view patchTool = "apply_patch";

bool isShellTool(std::string_view tool) {
    for (const auto name : shellTools) {
        if (tool == name) return true;
    }
    return false;
}

// The files a patch in Codex's own format touches: each "*** Add File:", "*** Update File:" and
// "*** Move to:" line writes one, each "*** Delete File:" line deletes one.
ToolInput::Actions patchActions(const std::string& patch, const AgentContext& context) {
    struct Marker {
        std::string_view prefix;
        bool deletes;
    };
    constexpr Marker markers[] = {
        {"*** Add File: ", false}, {"*** Update File: ", false}, {"*** Move to: ", false}, {"*** Delete File: ", true}};
    std::vector<Action> actions;
    std::istringstream lines(patch);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (const auto& marker : markers) {
            if (!line.starts_with(marker.prefix) || line.size() == marker.prefix.size()) continue;
            std::string path = line.substr(marker.prefix.size());
            actions.push_back(marker.deletes ? Action{context, FileDeleteAction{std::move(path)}}
                                             : makeFileAction(context, FileAccess::write, std::move(path)));
        }
    }
    if (actions.empty()) return fail(std::string("The patch names no file, so Vardex cannot tell what it changes."));
    return actions;
}

// The patch of an apply_patch call: its own input, or the text after "apply_patch" when it
// comes as a command.
std::optional<std::string> patchOf(const std::string& tool, const nlohmann::json& toolInput) {
    const auto* command = ToolInput::member(toolInput, {"command"});
    if (command != nullptr && command->is_array() && command->size() == 2 && (*command)[0] == patchTool &&
        (*command)[1].is_string()) {
        return (*command)[1].get<std::string>();
    }
    if (tool != patchTool) return std::nullopt;
    if (toolInput.is_string()) return toolInput.get<std::string>();
    return ToolInput::text(toolInput, {"input", "patch"});
}

// A shell command (a text or an argument vector), a patch, or an MCP tool; other tools touch
// nothing Vardex guards.
ToolInput::Actions actionsFor(const nlohmann::json& input) {
    auto call = PreToolUse::toolOf(input);
    if (!call) return fail(call.error());
    const auto& [tool, toolInput] = *call;
    const auto context = PreToolUse::contextOf(input, AgentKind::codex);
    if (auto patch = patchOf(tool, toolInput)) return patchActions(*patch, context);
    if (isShellTool(tool)) {
        const auto command = ToolInput::commandLine(ToolInput::member(toolInput, {"command", "cmd"}));
        if (!command) return ToolInput::missing(tool, "command");
        auto folder = ToolInput::text(toolInput, {"workdir", "cwd"});
        auto shellContext = context;
        if (!folder.empty()) shellContext.cwd = ToolInput::pathFrom(context.cwd, folder);
        return ToolInput::just(makeShellAction(std::move(shellContext), *command));
    }
    if (auto mcp = PreToolUse::mcpAction(tool, toolInput, context)) return std::move(*mcp);
    return ToolInput::nothing();
}

}  // namespace

const HookAdapter codexHook = PreToolUse::adapter(
    "codex", AgentKind::codex, "Codex PreToolUse hook: JSON in, decision out", actionsFor,
    R"({"session_id":"vardex-probe","cwd":"/","hook_event_name":"PreToolUse","tool_name":"shell","tool_input":{"command":["true"]}})");

}  // namespace vardex::engine
