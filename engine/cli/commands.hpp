#pragma once

#include <CLI/CLI.hpp>

namespace vardex::engine {

// What a command hands back to `main`: the process exit status.
struct CommandContext {
    int exitCode = 0;
};

// Each area registers its sub-commands on the one application.
void addCoreCommands(CLI::App& app, CommandContext& context);    // check, rules, log
void addDaemonCommands(CLI::App& app, CommandContext& context);  // daemon, ask, hook
void addAgentCommands(CLI::App& app, CommandContext& context);   // doctor, protect, connect, install, uninstall
void addReplayCommand(CLI::App& app, CommandContext& context);   // replay

}  // namespace vardex::engine
