#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "service/service_backend.hpp"

namespace vardex {

// The launch agent, loaded and kicked by the system's `launchctl`.
class LaunchctlBackend final : public ServiceBackend {
public:
    static constexpr std::string_view defaultProgram = "/bin/launchctl";

    LaunchctlBackend(std::filesystem::path program, ServiceTimeouts timeouts, DaemonApp app)
        : program_(std::move(program)), timeouts_(timeouts), app_(std::move(app)) {}

    Result<void, ServiceError> start(const std::filesystem::path& engine, bool runAtLoad) override;
    void stop() override;
    Result<void, ServiceError> setStartAtLogin(const std::filesystem::path& engine, bool on) override;

    CliResult runLaunchctl(const std::vector<std::string>& arguments) const;
    // Leaves a loaded agent alone when it runs the current engine and answers; otherwise
    // reloads it and waits for the daemon.
    Result<void, ServiceError> bootstrapLaunchAgent() const;

private:
    std::filesystem::path program_;
    ServiceTimeouts timeouts_;
    DaemonApp app_;
};

// The program a loaded agent runs, from the "program = ..." line of `launchctl print`; empty
// when there is no such line.
std::string loadedProgram(std::string_view printOutput);

}  // namespace vardex
