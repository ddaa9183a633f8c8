#include "activity/notification_content.hpp"

#include "strings/ui_strings.hpp"

namespace vardex::VardexNotifications {

std::string askIdentifier(std::string_view requestId) { return "ask-" + std::string(requestId); }

NotificationContent ask(const ApprovalRequest& request) {
    return {askIdentifier(request.id), std::string(UIStrings::notifyAskTitle),
            request.reasonUser.empty() ? request.actionSummary : request.reasonUser};
}

NotificationContent dailyBlock(long long stopped) {
    return {"daily-block", std::string(UIStrings::notifyBlockedTitle),
            UIStrings::stoppedSentence(stopped)};
}

NotificationContent canaryTrip() {
    return {"canary-trip", std::string(UIStrings::notifyCanaryTitle),
            std::string(UIStrings::notifyCanaryBody)};
}

NotificationContent networkDeny() {
    return {"ne-deny", std::string(UIStrings::notifyNetworkDenyTitle),
            std::string(UIStrings::notifyNetworkDenyBody)};
}

NotificationContent nowProtecting(std::string_view name) {
    return {"now-protecting-" + std::string(name), std::string(UIStrings::product),
            UIStrings::nowProtecting(name)};
}

}  // namespace vardex::VardexNotifications
