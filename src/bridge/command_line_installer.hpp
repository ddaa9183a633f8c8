#pragma once

#include <filesystem>

#include "bridge/cli_result.hpp"
#include "common/result.hpp"

// Copies the engine shipped with the app into a folder on the search path, so it can be used
// from a shell. A copy, not a link: the app may move or go away later.
namespace vardex::CommandLineInstaller {

// VARDEX_CLI_DIR when set, else "/usr/local/bin".
std::filesystem::path destinationDirectory();

// Replaces the destination's "vardex" with the current engine, mode 0755. No privilege is
// asked for: a folder the user cannot write to is a spawn failure with "Could not install
// the command-line tool.". A step that fails leaves what was done before it in place.
Result<std::filesystem::path, CliError> install();

}  // namespace vardex::CommandLineInstaller
