#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include <sys/types.h>

#include "service/restart_pacing.hpp"
#include "service/service_backend.hpp"

namespace vardex {

// The daemon as a child of the app, for automation, containers and machines without a
// service manager. The platform's service description is still written, so switching to the
// service manager later finds it in place. The child is ended and waited for when the
// backend goes, since nobody else would collect it. Like a service manager, it starts a
// daemon that ended on its own again when asked to keep it alive, with growing pauses when it
// keeps ending.
class DirectDaemonBackend final : public ServiceBackend {
public:
    // How long a terminated daemon gets to exit before it is killed.
    static constexpr std::chrono::milliseconds terminateGrace{2000};

    using Now = std::function<RestartPacing::Clock::time_point()>;

    explicit DirectDaemonBackend(DaemonApp app, Now now = RestartPacing::Clock::now)
        : app_(std::move(app)), now_(std::move(now)) {}
    DirectDaemonBackend(const DirectDaemonBackend&) = delete;
    DirectDaemonBackend& operator=(const DirectDaemonBackend&) = delete;
    ~DirectDaemonBackend() override { stop(); }

    Result<void, ServiceError> start(const std::filesystem::path& engine, bool runAtLoad) override;
    void stop() override;
    void keepAlive(const std::filesystem::path& engine) override;
    Result<void, ServiceError> setStartAtLogin(const std::filesystem::path& engine, bool on) override;

    // Starts `engine` "daemon" "--foreground" unless the child started earlier still runs.
    Result<void, ServiceError> spawnForegroundDaemon(const std::filesystem::path& engine);
    // Whether the daemon this backend started still runs.
    bool running();

private:
    // Collects the child when it has ended; callers hold `lock_`.
    bool childRunning();
    Result<void, ServiceError> spawnUnlessRunning(const std::filesystem::path& engine);

    DaemonApp app_;
    Now now_;
    RestartPacing pacing_;
    std::mutex lock_;
    std::optional<pid_t> child_;
    // Between a start and a stop, a daemon that ends is started again.
    bool wanted_ = false;
};

}  // namespace vardex
