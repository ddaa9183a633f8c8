#pragma once

#include <string>

#include "protocol/action.hpp"
#include "protocol/agent_context.hpp"
#include "protocol/json_value.hpp"

namespace vardex::engine {

// The actions an agent describes to the daemon, built the way the engine reads them: a shell
// line comes with its parsed command tree.
enum class FileAccess { read, write };

Action makeShellAction(AgentContext context, const std::string& command);
Action makeFileAction(AgentContext context, FileAccess access, std::string path);
Action makeNetworkAction(AgentContext context, std::string url);
Action makeMcpAction(AgentContext context, std::string server, std::string tool, JSONValue arguments);

}  // namespace vardex::engine
