#include <string>

#include <CLI/CLI.hpp>

#include "bridge/home_migration.hpp"
#include "cli/commands.hpp"

int main(int argc, char** argv) {
    // Files an earlier build kept elsewhere are in place before any command looks for them; the
    // daemon reports what could not be moved.
    (void)vardex::moveEarlierLayoutsOfThisHome();
    CLI::App app{"vardex: decides what coding agents may do on this machine"};
    app.set_version_flag("--version", std::string("vardex ") + VARDEX_VERSION);
    app.require_subcommand(1);
    vardex::engine::CommandContext context;
    vardex::engine::addCoreCommands(app, context);
    vardex::engine::addDaemonCommands(app, context);
    vardex::engine::addAgentCommands(app, context);
    vardex::engine::addReplayCommand(app, context);
    CLI11_PARSE(app, argc, argv);
    return context.exitCode;
}
