#include "bridge/vardex_paths.hpp"
#include "service/launch_agent.hpp"
#include "service/protection_service.hpp"
#include "service/service_backend.hpp"

// On macOS the service manager is launchd: a launch agent's property list describes the daemon.
namespace vardex {

ServiceBackendKind platformServiceBackend() { return ServiceBackendKind::launchctl; }

std::filesystem::path serviceDescriptionURL() { return VardexPaths::launchAgentPlistURL(); }

Result<void, ServiceError> writeServiceDescription(const std::filesystem::path& engine, bool runAtLoad,
                                                   const DaemonApp& app) {
    return writeLaunchAgent(engine, runAtLoad, app);
}

}  // namespace vardex
