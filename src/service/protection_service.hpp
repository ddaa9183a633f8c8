#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bridge/vardex_paths.hpp"
#include "common/result.hpp"
#include "service/daemon_socket.hpp"
#include "service/protection_error.hpp"
#include "service/service_backend.hpp"

namespace vardex {

enum class ServiceBackendKind { directChild, launchctl, systemd };

// The platform's own service manager: launchctl on macOS, a systemd user unit on Linux (each in
// its platform's file).
ServiceBackendKind platformServiceBackend();

// VARDEX_SKIP_LAUNCHCTL exactly "1" means a direct child; any other value, or none, the
// platform's service manager.
ServiceBackendKind chooseServiceBackend(const std::optional<std::string>& skipLaunchctl, ServiceBackendKind platform);

struct ServiceOptions {
    std::filesystem::path launchctlProgram = "/bin/launchctl";
    std::filesystem::path systemctlProgram = "/usr/bin/systemctl";
    ServiceTimeouts timeouts;
    // Used unless VARDEX_SKIP_LAUNCHCTL asks for a direct child.
    ServiceBackendKind platform = platformServiceBackend();
    // Called on the thread running `start`.
    ServiceEventLog eventLog;
    // The app the daemon listens to: this very program unless told otherwise.
    DaemonApp app{VardexPaths::runningExecutable(), false};
    // The clock that paces restarts of a daemon the app runs itself.
    std::function<std::chrono::steady_clock::time_point()> now = std::chrono::steady_clock::now;
};

// Keeps the engine's daemon running as the user's login service and records whether it
// should start at login. The backend is chosen once, when the service is made, from
// VARDEX_SKIP_LAUNCHCTL and the platform. `start` and `stop` may run on a background thread
// while `setStartAtLogin` runs on another.
class ProtectionService {
public:
    explicit ProtectionService(ServiceOptions options = {});
    ProtectionService(const ProtectionService&) = delete;
    ProtectionService& operator=(const ProtectionService&) = delete;
    ~ProtectionService();

    ServiceBackendKind backendKind() const { return kind_; }

    // Makes sure the daemon runs and answers; blocks until it does or the waits run out.
    Result<void, ServiceError> start();
    void stop();
    // Starts the daemon again when it ended on its own after a `start` and before a `stop`;
    // cheap when it runs. The service managers do this themselves.
    void keepAlive();
    // Stores the choice (a failure to store it is ignored), rewrites the service description
    // and tells the service manager.
    Result<void, ServiceError> setStartAtLogin(bool on);
    // True when nothing usable is stored.
    bool loadStartAtLogin() const;

private:
    ServiceOptions options_;
    ServiceBackendKind kind_;
    std::unique_ptr<ServiceBackend> backend_;
};

}  // namespace vardex
