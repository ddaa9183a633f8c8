#include "daemon/agent_action.hpp"

#include "core/shell_parser.hpp"

namespace vardex::engine {

Action makeShellAction(AgentContext context, const std::string& command) {
    ShellAction shell = shellAction(command, context.cwd);
    return Action{std::move(context), std::move(shell)};
}

Action makeFileAction(AgentContext context, FileAccess access, std::string path) {
    if (access == FileAccess::read) return Action{std::move(context), FileReadAction{std::move(path)}};
    return Action{std::move(context), FileWriteAction{std::move(path)}};
}

Action makeNetworkAction(AgentContext context, std::string url) {
    NetworkAction network;
    network.url = std::move(url);
    return Action{std::move(context), std::move(network)};
}

Action makeMcpAction(AgentContext context, std::string server, std::string tool, JSONValue arguments) {
    return Action{std::move(context), McpToolCallAction{std::move(server), std::move(tool), std::move(arguments)}};
}

}  // namespace vardex::engine
