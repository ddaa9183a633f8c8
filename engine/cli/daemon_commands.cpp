#include "cli/commands.hpp"

namespace vardex::engine {

void addDaemonCommands(CLI::App&, CommandContext&) {}

}  // namespace vardex::engine
