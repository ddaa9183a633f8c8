#include "daemon/claude_hook.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "daemon/agent_action.hpp"
#include "daemon/agent_client.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine::ClaudeHook {
namespace {

constexpr std::string_view mcpPrefix = "mcp__";

struct FileTool {
    std::string_view name;
    FileAccess access;
    std::string_view pathKey;
};

constexpr FileTool fileTools[] = {
    {"Read", FileAccess::read, "file_path"},      {"Grep", FileAccess::read, "path"},
    {"Glob", FileAccess::read, "path"},           {"LS", FileAccess::read, "path"},
    {"Write", FileAccess::write, "file_path"},    {"Edit", FileAccess::write, "file_path"},
    {"MultiEdit", FileAccess::write, "file_path"}, {"NotebookEdit", FileAccess::write, "notebook_path"},
};

std::string stringMember(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

Result<std::optional<Action>, std::string> actionFor(const nlohmann::json& input) {
    if (!input.is_object()) return fail(std::string("The hook input is not a JSON object."));
    const std::string tool = stringMember(input, "tool_name");
    if (tool.empty()) return fail(std::string("The hook input names no tool."));
    const auto toolInput = input.contains("tool_input") ? input["tool_input"] : nlohmann::json::object();

    AgentContext context{AgentKind::claude, stringMember(input, "session_id"), stringMember(input, "cwd"), false};
    const auto missing = [&](const char* key) {
        return fail("The " + tool + " call has no \"" + key + "\" to check.");
    };

    if (tool == "Bash") {
        const std::string command = stringMember(toolInput, "command");
        if (command.empty()) return missing("command");
        return std::optional<Action>(makeShellAction(std::move(context), command));
    }
    for (const auto& file : fileTools) {
        if (tool != file.name) continue;
        std::string path = stringMember(toolInput, std::string(file.pathKey).c_str());
        // A search without a path looks in the working folder, which the agent may read.
        if (path.empty() && file.access == FileAccess::read && tool != "Read") return std::optional<Action>();
        if (path.empty()) return missing(std::string(file.pathKey).c_str());
        return std::optional<Action>(makeFileAction(std::move(context), file.access, std::move(path)));
    }
    if (tool == "WebFetch") {
        std::string url = stringMember(toolInput, "url");
        if (url.empty()) return missing("url");
        return std::optional<Action>(makeNetworkAction(std::move(context), std::move(url)));
    }
    if (tool.rfind(mcpPrefix, 0) == 0) {
        const std::string rest = tool.substr(mcpPrefix.size());
        const auto split = rest.find("__");
        if (split == std::string::npos || split == 0 || split + 2 >= rest.size()) {
            return fail("The MCP tool name " + tool + " is not of the form mcp__SERVER__TOOL.");
        }
        auto arguments = ProtocolJSON::fromTree<JSONValue>(toolInput);
        if (!arguments) return fail("The arguments of " + tool + " do not read: " + arguments.error().description());
        return std::optional<Action>(makeMcpAction(std::move(context), rest.substr(0, split), rest.substr(split + 2),
                                                   std::move(arguments).value()));
    }
    return std::optional<Action>();
}

nlohmann::json output(bool allowed, const std::string& reason) {
    return {{"hookSpecificOutput",
             {{"hookEventName", "PreToolUse"},
              {"permissionDecision", allowed ? "allow" : "deny"},
              {"permissionDecisionReason", reason}}}};
}

nlohmann::json outputFor(const DecisionEvent& decision) {
    const bool allowed = decision.decision == Outcome::allow;
    return output(allowed, allowed ? decision.reasonUser : decision.reasonAgent);
}

double deadlineSeconds(double agentWait, const std::optional<std::string>& shorter) {
    double seconds = std::min<double>(agentWait, longestWaitSeconds);
    if (shorter) {
        char* end = nullptr;
        const double asked = std::strtod(shorter->c_str(), &end);
        if (end != shorter->c_str() && *end == '\0' && asked > 0) seconds = std::min(seconds, asked);
    }
    return seconds;
}

nlohmann::json run(const std::string& inputText, const std::string& socketPath, double waitSeconds) {
    const auto input = nlohmann::json::parse(inputText, nullptr, false);
    auto action = actionFor(input);
    if (!action) return output(false, "Vardex could not check this call, so it was blocked: " + action.error());
    if (!action->has_value()) return output(true, "Vardex does not check this tool.");
    auto decision = askDaemon(**action, socketPath, waitSeconds);
    if (!decision) return output(false, decision.error().description());
    return outputFor(*decision);
}

}  // namespace vardex::engine::ClaudeHook
