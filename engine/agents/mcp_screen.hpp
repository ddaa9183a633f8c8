#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"

// What one MCP request from an agent amounts to, as actions the engine decides one by one:
// the tool call itself, and every file or web address named anywhere in its parameters.
namespace vardex::engine {

// More than this many names in one request is refused rather than half checked.
inline constexpr std::size_t maxScreenedNames = 64;

// The actions of a request with `method` and `params`, in the order they are decided: for
// "tools/call" the tool call first; then a file read (and, for a tool whose name says it
// changes files, a file write) for every string that names a file, a "file://" address
// included, and a web request for every "http" or "https" address, wherever the string sits in
// the parameters, inside arrays too. Relative names are taken from `context.cwd`. Fails with
// the sentence for the agent when the request cannot be read as a whole.
Result<std::vector<Action>, std::string> mcpRequestActions(const std::string& method, const nlohmann::json& params,
                                                           const std::string& server, const AgentContext& context);

// The file a string names, absolute or from `cwd` (with "~" kept for the engine to expand);
// empty when the string does not look like a file name.
std::string namedFile(const std::string& text, const std::string& cwd);

}  // namespace vardex::engine
