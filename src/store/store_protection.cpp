#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::startProtection() {}
void VardexStore::stopProtection() {}
void VardexStore::confirmPauseForOneHour() {}
void VardexStore::resumeProtection() {}
bool VardexStore::isPaused() const { return {}; }
std::int64_t VardexStore::pauseRemainingSeconds() const { return {}; }
bool VardexStore::isProtectedNow() const { return {}; }
void VardexStore::persistPauseState() {}
void VardexStore::loadPauseState() {}
void VardexStore::writeStatusFile() {}
void VardexStore::v3StopNow() {}
void VardexStore::v3Resume() {}
void VardexStore::v3StopRunningAgents() {}
void VardexStore::uninstallAll() {}
void VardexStore::setStartAtLogin(bool) {}

}  // namespace vardex
