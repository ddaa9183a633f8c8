#include "store/vardex_store.hpp"

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"

namespace vardex {

ReceiptData VardexStore::receiptData() const {
    return ReceiptData{now,
                       todayCheckedCount(),
                       todayStoppedCount(),
                       todayAskedCount(),
                       watchingNames(),
                       receiptTopCatch(auditEntries, now, options_.calendar),
                       exampleData,
                       exampleData || !auditHead ? std::nullopt : std::optional(logHeadText(*auditHead))};
}

void VardexStore::exportReceiptPNG(const std::optional<std::filesystem::path>& to) {
    const auto png = ports_.windows.receiptPNG(receiptData());
    if (!png || png->empty()) return;
    std::filesystem::path destination;
    if (to) {
        destination = *to;
    } else if (const auto exportFile = VardexPaths::env("VARDEX_EXPORT_FILE")) {
        destination = receiptPathBeside(*exportFile);
    } else {
        const auto chosen = ports_.windows.chooseSaveLocation({std::string(receiptFileName), {"png"}, true});
        if (!chosen || chosen->empty()) return;
        destination = *chosen;
    }
    if (!writeTextFileAtomically(destination, *png)) return;
    lastMessage = receiptSavedMessage(destination);
    publish();
}

}  // namespace vardex
