#pragma once

#include <string>
#include <vector>

#include "core/command_facts.hpp"

namespace vardex::engine {

// Shell lines a command hands to another program to run, which the rules judge as if typed.
struct EmbeddedCommands {
    std::vector<std::string> lines;
    // It sets a program to run that is a file the line does not show (a configured pager or
    // diff tool at some path): what that runs cannot be read.
    bool unseenProgram = false;
};

// The lines of programs that run a command given as text: sed's "e" command, an editor's
// ":!cmd", tmux new/split-window/send-keys, script -c, watch, ssh HOST CMD, and git settings
// and environment that name a program (git -c core.pager=..., git config alias.x '!...',
// GIT_SSH_COMMAND=...).
EmbeddedCommands embeddedCommands(const CommandFacts& command);

}  // namespace vardex::engine
