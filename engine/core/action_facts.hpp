#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/command_facts.hpp"
#include "protocol/action.hpp"

namespace vardex::engine {

// Everything the rules look at, drawn once from an action. Shell lines are flattened: every
// pipeline of the tree (command substitutions and `sh -c` bodies included) is listed, and a
// lone command is a pipeline of one.
struct ActionFacts {
    std::string_view kind;  // the action's wire kind
    std::string home;
    std::string cwd;
    // The shell line as typed; for other kinds a text naming the target (path, URL, tool call)
    // so that raw patterns still apply.
    std::string raw;
    bool unparsed = false;
    std::vector<ObfuscationFlag> obfuscation;
    std::vector<std::vector<CommandFacts>> pipelines;
    std::vector<PathUse> paths;
    std::vector<std::string> urls;
    std::vector<std::string> hosts;  // lower case, from URLs, host fields and host arguments
    std::string mcpServer;
    std::string mcpTool;
    nlohmann::json mcpArgs;

    // Every command of every pipeline.
    std::vector<const CommandFacts*> commands() const;
};

ActionFacts factsOf(const Action& action, const std::string& home);

// The host of a URL ("https://user@Example.com:8080/x" gives "example.com"); empty when the
// text is not a URL.
std::string urlHost(std::string_view url);

}  // namespace vardex::engine
