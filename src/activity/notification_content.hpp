#pragma once

#include <string>
#include <string_view>

#include "protocol/approval.hpp"

namespace vardex {

// One notification as posted; a later one with the same identifier replaces it.
struct NotificationContent {
    std::string identifier;
    std::string title;
    std::string body;

    friend bool operator==(const NotificationContent&, const NotificationContent&) = default;
};

namespace VardexNotifications {

// The identifier of a question's notice, by which it is replaced and withdrawn.
std::string askIdentifier(std::string_view requestId);
NotificationContent ask(const ApprovalRequest& request);
NotificationContent dailyBlock(long long stopped);
NotificationContent canaryTrip();
NotificationContent networkDeny();
NotificationContent nowProtecting(std::string_view name);

}  // namespace VardexNotifications
}  // namespace vardex
