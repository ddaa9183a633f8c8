#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/cli_result.hpp"
#include "common/result.hpp"

// Runs the engine's command-line program and collects what it prints. Each call blocks its
// thread until the program has ended or its time limit has passed; calls on different threads
// run side by side.
namespace vardex::VardexCli {

// How long one run may take. A hung engine must not hold a caller (or the busy state it shows)
// for ever.
inline constexpr std::chrono::milliseconds defaultTimeLimit{30'000};
// How long the streams are still read once the program itself has ended: a child it left
// running in the background inherits them and may keep them open much longer.
inline constexpr std::chrono::milliseconds readingAfterExit{100};

// Runs `binary` with `arguments` (no shell in between) in `cwd`, or in the app's own working
// folder. The program gets the app's environment with HOME and VARDEX_SOCK set to the app's
// view of them, plus VARDEX_STATE_DIR when that is set; standard input is shared. The program
// runs in a process group of its own; when it has not ended after `timeLimit`, the whole group
// is killed and the run fails with `CliError::timedOut`.
Result<CliResult, CliError> runBinary(const std::filesystem::path& binary, const std::vector<std::string>& arguments,
                                      const std::optional<std::filesystem::path>& cwd = std::nullopt,
                                      std::chrono::milliseconds timeLimit = defaultTimeLimit);

// A run with more said about it than `runBinary` takes.
struct RunSetup {
    std::optional<std::filesystem::path> cwd;
    std::chrono::milliseconds timeLimit = defaultTimeLimit;
    // What the program reads on standard input, instead of sharing the caller's.
    std::optional<std::string> input;
    // Variables set for this run alone, over those `runBinary` sets.
    std::vector<std::pair<std::string, std::string>> environment;
};

Result<CliResult, CliError> runProgram(const std::filesystem::path& binary, const std::vector<std::string>& arguments,
                                       const RunSetup& setup);

// `runBinary` with the engine found by `VardexPaths::vardexBinary`; `binaryMissing`, with
// nothing started, when there is none.
Result<CliResult, CliError> run(const std::vector<std::string>& arguments,
                                const std::optional<std::filesystem::path>& cwd = std::nullopt,
                                std::chrono::milliseconds timeLimit = defaultTimeLimit);

}  // namespace vardex::VardexCli
