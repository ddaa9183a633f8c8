#include "service/protection_service.hpp"
#include "service/service_backend.hpp"
#include "service/launch_agent.hpp"
#include "service/systemd_backend.hpp"

// On Linux the service manager is systemd: its user unit describes the daemon. Whether it starts
// at login is systemd's own "enable", so the unit's text does not depend on it.
namespace vardex {

ServiceBackendKind platformServiceBackend() { return ServiceBackendKind::systemd; }

std::filesystem::path serviceDescriptionURL() { return systemdUnitURL(); }

Result<void, ServiceError> writeServiceDescription(const std::filesystem::path& engine, bool /*runAtLoad*/,
                                                   const DaemonApp& app) {
    return writeServiceFile(systemdUnitURL(), systemdUnit(engine, app));
}

}  // namespace vardex
