#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::startAutoConnectWatch() {}
void VardexStore::scanAutoConnect() {}
void VardexStore::noteConnectResult(const Result<CliResult, CliError>&) {}
void VardexStore::acceptConnectConsent() {}
void VardexStore::setAutoProtectNew(bool) {}
void VardexStore::protectSelectedApps() {}
void VardexStore::finishOnboarding() {}
void VardexStore::fixIt() {}
void VardexStore::fixAll() {}
void VardexStore::disconnectAgent(AgentInstallRow::Kind) {}
std::vector<AgentInstallRow> VardexStore::detectedCodingAgents() const { return {}; }
std::vector<AgentInstallRow> VardexStore::undetectedCodingAgents() const { return {}; }
std::vector<AgentInstallRow> VardexStore::appsNeedingFix() const { return {}; }
std::vector<AgentInstallRow> VardexStore::onboardingAppRows() const { return {}; }
void VardexStore::prepareOnboardingSelection() {}
void VardexStore::refreshDashboard() {}
void VardexStore::loadProtectApps() {}
std::vector<std::string> VardexStore::watchingNames() const {
    std::vector<std::string> names;
    for (const auto& row : agents) {
        if (row.installed) names.push_back(row.title);
    }
    return names;
}
void VardexStore::openSetupLink(const std::string&) {}

}  // namespace vardex
