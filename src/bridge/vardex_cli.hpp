#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bridge/cli_result.hpp"
#include "common/result.hpp"

// Runs the engine's command-line program and collects what it prints. Each call blocks its
// thread until the program has ended; calls on different threads run side by side.
namespace vardex::VardexCli {

// Runs `binary` with `arguments` (no shell in between) in `cwd`, or in the app's own working
// folder. The program gets the app's environment with HOME and VARDEX_SOCK set to the app's
// view of them, plus VARDEX_STATE_DIR when that is set; standard input is shared. There is no
// time limit.
Result<CliResult, CliError> runBinary(const std::filesystem::path& binary, const std::vector<std::string>& arguments,
                                      const std::optional<std::filesystem::path>& cwd = std::nullopt);

// `runBinary` with the engine found by `VardexPaths::vardexBinary`; `binaryMissing`, with
// nothing started, when there is none.
Result<CliResult, CliError> run(const std::vector<std::string>& arguments,
                                const std::optional<std::filesystem::path>& cwd = std::nullopt);

}  // namespace vardex::VardexCli
