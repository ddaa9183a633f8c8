#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/cli_result.hpp"
#include "common/result.hpp"
#include "service/daemon_socket.hpp"
#include "service/protection_error.hpp"

namespace vardex {

// What the daemon is told about the app when it is started: only a process running
// `executable` may answer its questions (with none, no answer counts), and `testApprovers`
// lets automation answer too, for a test daemon on its own socket.
struct DaemonApp {
    std::optional<std::filesystem::path> executable;
    bool testApprovers = false;
};

// The engine's arguments after its path: "daemon", "--foreground", then "--app-executable"
// and the app's path, and "--test-approvers" when asked for.
std::vector<std::string> daemonArguments(const DaemonApp& app);

// Where every way of running the daemon appends its standard output and standard error, so a
// daemon that would not start has said why in the same place whoever started it.
std::filesystem::path daemonOutputLog();
std::filesystem::path daemonErrorLog();
// The last line the daemon wrote to `errorLog` (its last few kilobytes are read), without
// surrounding white space; absent when there is none.
std::optional<std::string> lastDaemonError(const std::filesystem::path& errorLog = daemonErrorLog());

// The platform's own service description (a systemd user unit, a launch agent), written for a
// daemon the app runs itself too, so that the service manager later finds it in place.
std::filesystem::path serviceDescriptionURL();
Result<void, ServiceError> writeServiceDescription(const std::filesystem::path& engine, bool runAtLoad,
                                                   const DaemonApp& app);

// One way of keeping the engine's daemon running. `ProtectionService` picks one when it is
// made and keeps it; the folders and the start-at-login choice are settled before any call.
class ServiceBackend {
public:
    virtual ~ServiceBackend() = default;

    // Writes the service description for `engine` and gets a daemon running from it. The
    // caller then waits for the socket.
    virtual Result<void, ServiceError> start(const std::filesystem::path& engine, bool runAtLoad) = 0;
    // Never fails; a daemon that is not running is already stopped.
    virtual void stop() = 0;
    // Starts the daemon again when it ended on its own; only a backend that is itself the
    // daemon's keeper has anything to do.
    virtual void keepAlive(const std::filesystem::path& /*engine*/) {}
    // Rewrites the service description for the new choice and tells the service manager.
    virtual Result<void, ServiceError> setStartAtLogin(const std::filesystem::path& engine, bool on) = 0;
};

// A line for the app's event log, such as a fallback from the service manager.
using ServiceEventLog = std::function<void(std::string_view event, std::string_view detail)>;

// Runs a service-manager program with the app's environment and collects what it printed. A
// program that cannot be started reads as status 1 with the system's reason on standard error.
CliResult runServiceManager(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// Standard error then standard output, nothing between: the service manager's whole complaint.
inline std::string complaintOf(const CliResult& run) { return run.stderr + run.stdout; }

}  // namespace vardex
