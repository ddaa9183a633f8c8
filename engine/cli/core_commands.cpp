#include "cli/commands.hpp"

namespace vardex::engine {

void addCoreCommands(CLI::App&, CommandContext&) {}

}  // namespace vardex::engine
