#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::loadNoticePolicy() {}
void VardexStore::persistNoticePolicy() {}
void VardexStore::noteDailyBlock() {}
void VardexStore::notifyCanaryTrips() {}
void VardexStore::notifyNetworkDeny() {}

}  // namespace vardex
