#include "store/vardex_store.hpp"

namespace vardex {

// Not built yet: each operation below does nothing.

void VardexStore::insertFeed(const DecisionEvent&) {}
void VardexStore::logEvent(const std::string&, const nlohmann::json&) {}
void VardexStore::refreshAuditFeed() {}
void VardexStore::mergeAuditIntoFeed(const std::vector<AuditLogEntry>&) {}
std::vector<AuditLogEntry> VardexStore::filteredAuditEntries() const { return {}; }
std::vector<AuditLogEntry> VardexStore::v3TodayEntries() const { return {}; }
long long VardexStore::todayStoppedCount() const { return {}; }
long long VardexStore::todayAskedCount() const { return {}; }
long long VardexStore::todayCheckedCount() const { return {}; }
std::optional<AuditLogEntry> VardexStore::blockedDetailEntry() const { return {}; }
void VardexStore::v3Delete(const std::vector<std::string>&) {}
void VardexStore::v3Undo() {}
std::optional<TimePoint> VardexStore::v3Since() { return {}; }
TimePoint VardexStore::firstRunAt() { return {}; }
void VardexStore::exportLog() {}
void VardexStore::writeExport(const std::filesystem::path&) {}

}  // namespace vardex
