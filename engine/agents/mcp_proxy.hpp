#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"

// The program an agent starts in place of an MCP server ("vardex mcp-proxy --server NAME --
// command args..."). It starts the real server and passes the JSON-RPC lines both ways; each
// request from the agent is put to the daemon first, and one the engine does not allow is
// answered by the proxy (a tool call with an error result, anything else with a JSON-RPC
// error) instead of reaching the server.
namespace vardex::engine {

// The daemon's decision on one action, or the sentence saying why there is none.
using DecideAction = std::function<Result<DecisionEvent, std::string>(const Action&)>;

// What becomes of one line from the agent: passed to the server, or answered by the proxy.
struct ProxyStep {
    bool forward = true;
    std::optional<std::string> reply;  // one JSON-RPC line, without its line feed
};

// Fails closed. A line that is not JSON, a batch, or anything but a JSON-RPC message is not
// passed on (a request with an id hears a JSON-RPC error instead). Notifications and responses
// pass. Every request is decided by `decide`, action by action (the tool call, then every file
// and address its parameters name), and passes only when all are allowed; without a decision
// it is blocked.
ProxyStep screenAgentLine(std::string_view line, const std::string& server, const std::string& session,
                          const DecideAction& decide);

// Runs the server `command` behind the proxy, in the sandbox allowed shell commands run in, until
// the agent closes its input and the server has ended; returns the exit status the proxy should
// end with. Where no sandbox can run the server runs as it is, unless the sandbox is required.
int runMcpProxy(const std::string& server, const std::vector<std::string>& command);

}  // namespace vardex::engine
