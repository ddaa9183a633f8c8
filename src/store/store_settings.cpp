#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

bool VardexStore::settingFlag(const std::string&, bool) const { return {}; }
void VardexStore::persistSetting(const std::string&, bool) {}
bool VardexStore::firstLaunchCompleted() const { return {}; }
void VardexStore::persistFirstLaunchCompleted() {}
bool VardexStore::shouldShowConnectConsent() const { return {}; }
void VardexStore::loadAutoConnectPrefs() {}
void VardexStore::saveSettings() {}
void VardexStore::skipOnboarding(bool) {}
void VardexStore::rerunOnboarding() {}

}  // namespace vardex
