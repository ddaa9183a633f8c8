#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "protocol/action.hpp"

namespace vardex::engine {

// The command tree of one shell line: pipelines, "&&", "||", ";", "&", redirections, "( )"
// and "{ }" groups, "$( )" and back-quote substitutions, quoting, leading NAME=value
// assignments and wrapper commands (env, nohup, time, sudo, ...). Compound commands (if,
// while, until, for, case, functions, [[ ]]) become groups of the lists they may run. Anything
// beyond that grammar (unbalanced quotes, arithmetic for loops), and lines nested or chained
// beyond fixed limits, are returned whole as an "unparsed" node.
ArgvTree parseShell(std::string_view line);

// Moves wrapper commands (env, sudo, nohup, ...) out of a command's argv, as the parser does.
void unwrapWrappers(ArgvTree::Command& command);

// Splits text at blanks, as the shell splits an unquoted expansion.
std::vector<std::string> splitBlanks(std::string_view text);

// Signs that the line hides what it runs.
std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line);
// The same, for a line already parsed into `tree`.
std::vector<ObfuscationFlag> obfuscationFlags(std::string_view line, const ArgvTree& tree);

// The shell action for a line typed in `cwd`, with its tree and signs filled in.
ShellAction shellAction(std::string_view line, std::string_view cwd);

// Splits a line the engine could not parse into rough commands (words separated by blanks,
// commands by "|", ";" and "&"), so that rules still see its programs.
std::vector<std::vector<std::string>> roughCommands(std::string_view line);

}  // namespace vardex::engine
