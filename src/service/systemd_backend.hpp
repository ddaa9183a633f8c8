#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "service/direct_daemon.hpp"
#include "service/service_backend.hpp"

namespace vardex {

// The Linux counterpart of the launch agent: a systemd user service whose Restart=always keeps
// the daemon alive the way KeepAlive does. When no user manager can be reached (a container,
// a session without one) it falls back to a direct child for the rest of its life and says so
// in the event log.
class SystemdBackend final : public ServiceBackend {
public:
    static constexpr std::string_view defaultProgram = "/usr/bin/systemctl";
    static constexpr std::string_view unitName = "vardex.service";

    SystemdBackend(std::filesystem::path program, ServiceTimeouts timeouts, ServiceEventLog log, DaemonApp app,
                   DirectDaemonBackend::Now now = RestartPacing::Clock::now)
        : program_(std::move(program)),
          timeouts_(timeouts),
          log_(std::move(log)),
          app_(app),
          direct_(std::move(app), std::move(now)) {}

    Result<void, ServiceError> start(const std::filesystem::path& engine, bool runAtLoad) override;
    void stop() override;
    void keepAlive(const std::filesystem::path& engine) override;
    Result<void, ServiceError> setStartAtLogin(const std::filesystem::path& engine, bool on) override;

    CliResult runSystemctl(const std::vector<std::string>& arguments) const;

private:
    Result<void, ServiceError> installUnit(const std::filesystem::path& engine, bool runAtLoad) const;
    void fallBack(const CliResult& refusal);

    std::filesystem::path program_;
    ServiceTimeouts timeouts_;
    ServiceEventLog log_;
    DaemonApp app_;
    // Set by a start on a background thread, read by stop and the login setting.
    std::atomic<bool> fellBack_{false};
    DirectDaemonBackend direct_;
};

// "~/.config/systemd/user/vardex.service".
std::filesystem::path systemdUnitURL();

// The unit text for `engine` and the app the daemon is told about, with HOME, the socket and
// the log folder of the current environment; values are quoted so spaces, quotes, "%" and "$"
// reach the daemon unchanged.
std::string systemdUnit(const std::filesystem::path& engine, const DaemonApp& app);

// The program of the unit's ExecStart, from `systemctl show -p ExecStart` ("path=" up to
// " ;"); empty when absent.
std::string unitProgram(std::string_view showOutput);
// The unit's command line from `systemctl show -p ExecStart` ("argv[]=" up to " ;"), the
// words joined by single spaces as systemd shows them; empty when absent.
std::string unitCommandLine(std::string_view showOutput);
// The unit's ActiveState from `systemctl show -p ActiveState`.
std::string unitActiveState(std::string_view showOutput);

}  // namespace vardex
