#include "store/vardex_store.hpp"

namespace vardex {

ReceiptData VardexStore::receiptData() const {
    return ReceiptData{now,
                       todayCheckedCount(),
                       todayStoppedCount(),
                       todayAskedCount(),
                       watchingNames(),
                       receiptTopCatch(auditEntries, now, options_.calendar),
                       exampleData};
}

}  // namespace vardex
