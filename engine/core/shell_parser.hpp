#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/action.hpp"

namespace vardex::engine {

// The command tree of one shell line: pipelines, "&&", "||", ";", "&", redirections, "( )"
// and "{ }" groups, "$( )" and back-quote substitutions, quoting, leading NAME=value
// assignments and wrapper commands (env, nohup, time, sudo, ...). Anything beyond that grammar
// (loops, functions, unbalanced quotes) is returned whole as an "unparsed" node.
ArgvTree parseShell(std::string_view line);

// Signs that the line hides what it runs.
std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line);

// The shell action for a line typed in `cwd`, with its tree and signs filled in.
ShellAction shellAction(std::string_view line, std::string_view cwd);

// Splits a line the engine could not parse into rough commands (words separated by blanks,
// commands by "|", ";" and "&"), so that rules still see its programs.
std::vector<std::vector<std::string>> roughCommands(std::string_view line);

}  // namespace vardex::engine
