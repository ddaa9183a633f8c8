#include <system_error>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {

void VardexStore::loadNoticePolicy() {
    const auto settings = readSettingsObject();
    if (!settings) return;
    notice = NoticePolicy::fromSettings(*settings);
    quietHoursEnabled = notice.quietHoursEnabled;
    quietHoursStart = NoticePolicy::formatClock(notice.quietStartMinutes);
    quietHoursEnd = NoticePolicy::formatClock(notice.quietEndMinutes);
    publish();
}

void VardexStore::persistNoticePolicy() {
    notice.quietHoursEnabled = quietHoursEnabled;
    notice.quietStartMinutes = NoticePolicy::parseClock(quietHoursStart);
    notice.quietEndMinutes = NoticePolicy::parseClock(quietHoursEnd);
    auto settings = readSettingsObject().value_or(nlohmann::json::object());
    notice.writeSettings(settings);
    writeSettingsObject(settings);
}

void VardexStore::noteDailyBlock() {
    if (!notice.shouldNotifyDailyBlock(now, options_.calendar)) return;
    notice.markDailyBlock(now, options_.calendar);
    persistNoticePolicy();
    dailyBlockNote = std::string(UIStrings::latestStopped);
    ports_.notifier.post(VardexNotifications::dailyBlock(todayStoppedCount()));
    publish();
}

void VardexStore::notifyCanaryTrips() {
    const auto trip = std::find_if(auditEntries.begin(), auditEntries.end(),
                                   [](const AuditLogEntry& entry) { return entry.ruleId == "canary.trip"; });
    if (trip == auditEntries.end()) return;
    std::string key = trip->ts + trip->actionSummary;
    if (key == lastCanaryHash) return;
    lastCanaryHash = std::move(key);
    ports_.notifier.post(VardexNotifications::canaryTrip());
}

void VardexStore::notifyNetworkDeny() {
    const auto file = VardexPaths::supportDirectory() / "ne-deny.json";
    std::error_code error;
    if (!std::filesystem::exists(file, error)) return;
    ports_.notifier.post(VardexNotifications::networkDeny());
    std::filesystem::remove(file, error);
}

}  // namespace vardex
