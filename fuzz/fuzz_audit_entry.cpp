// Feeds arbitrary bytes to the activity log's line reader and to what is built on an entry.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "activity/audit_log_entry.hpp"
#include "activity/v3_feed.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    auto entry = vardex::AuditLogEntry::parse(line);
    if (entry) {
        (void)entry->id();
        (void)entry->asDecisionEvent();
        (void)vardex::json_form::encodeAuditLogEntry(*entry);
        (void)vardex::V3Feed::what(entry->actionSummary);
        (void)vardex::V3Feed::date(entry->ts);
        (void)vardex::V3Feed::groups({*entry, *entry});
    }
    (void)vardex::V3Feed::what(line);
    return 0;
}
