#pragma once

#include <string>

#include "activity/notification_content.hpp"

namespace vardex {

// The desktop's notification centre. Outcomes are not reported back: a notification that
// cannot be shown is simply not shown.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void requestAuthorization() = 0;
    // A later notification with the same identifier replaces the earlier one.
    virtual void post(const NotificationContent& content) = 0;
    // Takes the notification with this identifier away, if one is shown: a notice lives exactly
    // as long as the state it reports.
    virtual void withdraw(const std::string& identifier) = 0;
};

}  // namespace vardex
