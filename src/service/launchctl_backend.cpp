#include "service/launchctl_backend.hpp"

#include "bridge/vardex_paths.hpp"
#include "service/launch_agent.hpp"

namespace vardex {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The texts with which `bootstrap` says the agent is in place after all.
bool bootstrapTolerable(std::string_view complaint) {
    return complaint.find("Already loaded") != std::string_view::npos ||
           complaint.find("already bootstrapped") != std::string_view::npos ||
           complaint.find("Input/output error") != std::string_view::npos;
}

}  // namespace

std::string loadedProgram(std::string_view printOutput) {
    constexpr std::string_view marker = "program =";
    while (!printOutput.empty()) {
        const auto end = printOutput.find('\n');
        const auto line = trimmed(printOutput.substr(0, end));
        printOutput = end == std::string_view::npos ? std::string_view() : printOutput.substr(end + 1);
        if (const auto at = line.find(marker); at != std::string_view::npos) {
            return std::string(trimmed(line.substr(at + marker.size())));
        }
    }
    return {};
}

CliResult LaunchctlBackend::runLaunchctl(const std::vector<std::string>& arguments) const {
    return runServiceManager(program_, arguments);
}

Result<void, ServiceError> LaunchctlBackend::bootstrapLaunchAgent() const {
    const auto service = launchServiceTarget();
    const auto plist = VardexPaths::launchAgentPlistURL().string();
    const auto engine = VardexPaths::vardexBinary();
    const std::string expected = engine ? engine->string() : std::string();
    const auto socket = VardexPaths::socketPath();

    const auto printed = runLaunchctl({"print", service});
    if (printed.ok()) {
        const auto program = loadedProgram(printed.stdout);
        if (probeSocket(socket, timeouts_.probeConnect) && !program.empty() && program == expected) return {};
    }

    (void)runLaunchctl({"bootout", service});
    removeStaleSocket(socket, timeouts_);

    const auto bootstrapped = runLaunchctl({"bootstrap", launchDomainTarget(), plist});
    if (!bootstrapped.ok()) {
        const auto complaint = complaintOf(bootstrapped);
        if (!bootstrapTolerable(complaint)) {
            return fail(ServiceError(
                ProtectionError::launchctlFailed(complaint.empty() ? "launchctl bootstrap failed" : complaint)));
        }
    }
    (void)runLaunchctl({"kickstart", "-k", service});
    return waitForSocket(socket, timeouts_.afterBootstrap, timeouts_);
}

Result<void, ServiceError> LaunchctlBackend::start(const std::filesystem::path& engine, bool runAtLoad) {
    if (auto written = writeLaunchAgent(engine, runAtLoad, app_); !written) return written;
    return bootstrapLaunchAgent();
}

void LaunchctlBackend::stop() { (void)runLaunchctl({"bootout", launchServiceTarget()}); }

Result<void, ServiceError> LaunchctlBackend::setStartAtLogin(const std::filesystem::path& engine, bool on) {
    if (auto written = writeLaunchAgent(engine, on, app_); !written) return written;
    const auto service = launchServiceTarget();
    if (!runLaunchctl({"print", service}).ok()) return {};
    // Unloading stops the daemon; with the choice off it stays unloaded until the next start.
    (void)runLaunchctl({"bootout", service});
    if (on) (void)runLaunchctl({"bootstrap", launchDomainTarget(), VardexPaths::launchAgentPlistURL().string()});
    return {};
}

}  // namespace vardex
