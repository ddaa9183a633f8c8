#include "agents/hook_probe.hpp"

#include <chrono>

#include "bridge/vardex_cli.hpp"

namespace vardex::engine {
namespace {

// No socket can lie under a file, so the hook finds no daemon, at once.
constexpr const char* unreachableSocket = "/dev/null/vardex-probe.sock";
constexpr std::chrono::milliseconds probeTimeLimit{5'000};
constexpr const char* hookSeconds = "2";

}  // namespace

std::optional<std::string> probeProblem(const std::string& command, const HookAdapter& adapter) {
    VardexCli::RunSetup setup;
    setup.timeLimit = probeTimeLimit;
    setup.input = std::string(adapter.probeInput);
    setup.environment = {{"VARDEX_SOCK", unreachableSocket}, {"VARDEX_HOOK_SECONDS", hookSeconds}};
    const auto run = VardexCli::runProgram("/bin/sh", {"-c", command}, setup);
    if (!run && run.error().kind() == CliError::Kind::timedOut) return std::string("did not answer in time");
    if (!run) return "could not be started: " + run.error().reason();
    // The engine's own answer ends well; the command's fallback denial ends with status 2.
    if (run->exitCode != 0) return "ended with status " + std::to_string(run->exitCode);
    const auto answer = nlohmann::json::parse(run->stdout, nullptr, false);
    if (answer.is_discarded() || !adapter.decisionIn(answer)) return "did not answer in the agent's format";
    return std::nullopt;
}

}  // namespace vardex::engine
