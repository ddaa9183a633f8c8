#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

#include <QDBusConnection>
#include <QObject>

#include "store/notifier.hpp"
#include "ui/ports/qt_window_host.hpp"

class QDBusPendingCallWatcher;

namespace vardex::ui {

// The window a notice's default action opens: a question opens the approval panel, "now
// protecting" the main window, and every blocked, canary or network notice the activity list.
WindowKind windowForNotice(const std::string& identifier);

// Notices through the desktop's notification service (org.freedesktop.Notifications). Calls are
// asynchronous. The service's id for each of our identifiers is remembered, so a later notice
// with the same identifier replaces the earlier one and a withdrawn one is closed; a notice
// withdrawn before the service has answered is closed when the answer comes. When no service answers, the notice goes
// to the fallback (the tray's balloon).
class DbusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    struct Handlers {
        // The user chose a notice's default action.
        std::function<void(const std::string& identifier)> activated;
        // No notification service answered this notice.
        std::function<void(const NotificationContent&)> fallback;
    };

    DbusNotifier(QDBusConnection bus, Handlers handlers, QObject* parent = nullptr);

    // Linux asks nobody for permission to notify.
    void requestAuthorization() override {}
    void post(const NotificationContent& content) override;
    void withdraw(const std::string& identifier) override;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);

private:
    void noteReply(QDBusPendingCallWatcher* watcher, const NotificationContent& content);

    QDBusConnection bus_;
    Handlers handlers_;
    std::map<std::string, uint> serverIds_;
    std::map<uint, std::string> identifiers_;
    // Withdrawn while their Notify call was still on its way.
    std::set<std::string> withdrawnEarly_;
};

}  // namespace vardex::ui
