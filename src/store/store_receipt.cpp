#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

ReceiptData VardexStore::receiptData() const { return {}; }

}  // namespace vardex
