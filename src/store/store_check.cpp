#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::runCheck() {}

}  // namespace vardex
