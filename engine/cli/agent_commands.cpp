#include "cli/commands.hpp"

namespace vardex::engine {

void addAgentCommands(CLI::App&, CommandContext&) {}

}  // namespace vardex::engine
