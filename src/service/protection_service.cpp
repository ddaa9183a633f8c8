#include "service/protection_service.hpp"

#include "bridge/vardex_paths.hpp"
#include "service/direct_daemon.hpp"
#include "service/launch_agent.hpp"
#include "service/launchctl_backend.hpp"
#include "service/start_at_login.hpp"
#include "service/systemd_backend.hpp"

namespace vardex {

ServiceBackendKind chooseServiceBackend(const std::optional<std::string>& skipLaunchctl, ServiceBackendKind platform) {
    return skipLaunchctl == "1" ? ServiceBackendKind::directChild : platform;
}

ProtectionService::ProtectionService(ServiceOptions options)
    : options_(std::move(options)),
      kind_(chooseServiceBackend(VardexPaths::env("VARDEX_SKIP_LAUNCHCTL"), options_.platform)) {
    switch (kind_) {
        case ServiceBackendKind::directChild:
            backend_ = std::make_unique<DirectDaemonBackend>(options_.app, options_.now);
            break;
        case ServiceBackendKind::launchctl:
            backend_ = std::make_unique<LaunchctlBackend>(options_.launchctlProgram, options_.timeouts, options_.app);
            break;
        case ServiceBackendKind::systemd:
            backend_ = std::make_unique<SystemdBackend>(options_.systemctlProgram, options_.timeouts, options_.eventLog,
                                                        options_.app, options_.now);
            break;
    }
}

ProtectionService::~ProtectionService() = default;

Result<void, ServiceError> ProtectionService::start() {
    const auto engine = VardexPaths::vardexBinary();
    if (!engine) return fail(ServiceError(ProtectionError::binaryMissing()));
    for (const auto& directory : {VardexPaths::supportDirectory(), VardexPaths::logsDirectory()}) {
        if (auto made = ensureServiceDirectory(directory); !made) return made;
    }
    if (auto started = backend_->start(*engine, loadStartAtLogin()); !started) return started;
    return waitForSocket(VardexPaths::socketPath(), options_.timeouts.afterStart, options_.timeouts);
}

void ProtectionService::stop() { backend_->stop(); }

void ProtectionService::keepAlive() {
    if (const auto engine = VardexPaths::vardexBinary()) backend_->keepAlive(*engine);
}

Result<void, ServiceError> ProtectionService::setStartAtLogin(bool on) {
    storeStartAtLogin(VardexPaths::settingsURL(), on);
    const auto engine = VardexPaths::vardexBinary();
    if (!engine) return fail(ServiceError(ProtectionError::binaryMissing()));
    return backend_->setStartAtLogin(*engine, on);
}

bool ProtectionService::loadStartAtLogin() const { return vardex::loadStartAtLogin(VardexPaths::settingsURL()); }

}  // namespace vardex
