#include "ui/ports/dbus_notifier.hpp"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultAction = QStringLiteral("default");
// The installed desktop entry's name; servers use it to group notices and find the icon.
const QString desktopEntry = QStringLiteral("com.talvenor.VardexBar");

}  // namespace

WindowKind windowForNotice(const std::string& identifier) {
    if (identifier.starts_with("ask-")) return WindowKind::approval;
    if (identifier.starts_with("now-protecting-")) return WindowKind::dashboard;
    return WindowKind::log;
}

DbusNotifier::DbusNotifier(QDBusConnection bus, Handlers handlers, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), handlers_(std::move(handlers)) {
    bus_.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
}

void DbusNotifier::post(const NotificationContent& content) {
    withdrawnEarly_.erase(content.identifier);
    const auto known = serverIds_.find(content.identifier);
    const uint replaces = known == serverIds_.end() ? 0U : known->second;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry);
    if (content.identifier.starts_with("ask-")) hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));
    call << qs(UIStrings::product) << replaces << QString() << qs(content.title) << qs(content.body)
         << QStringList{defaultAction, qs(UIStrings::notificationOpen)} << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, content](QDBusPendingCallWatcher* finished) { noteReply(finished, content); });
}

void DbusNotifier::withdraw(const std::string& identifier) {
    const auto known = serverIds_.find(identifier);
    if (known == serverIds_.end()) {
        withdrawnEarly_.insert(identifier);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("CloseNotification"));
    call << known->second;
    bus_.asyncCall(call);
    identifiers_.erase(known->second);
    serverIds_.erase(known);
}

void DbusNotifier::noteReply(QDBusPendingCallWatcher* watcher, const NotificationContent& content) {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        withdrawnEarly_.erase(content.identifier);
        if (handlers_.fallback) handlers_.fallback(content);
        return;
    }
    const uint id = reply.value();
    if (const auto old = serverIds_.find(content.identifier); old != serverIds_.end() && old->second != id) {
        identifiers_.erase(old->second);
    }
    serverIds_[content.identifier] = id;
    identifiers_[id] = content.identifier;
    if (withdrawnEarly_.erase(content.identifier) > 0) withdraw(content.identifier);
}

void DbusNotifier::onActionInvoked(uint id, const QString& action) {
    const auto found = identifiers_.find(id);
    if (found == identifiers_.end() || action != defaultAction) return;
    if (handlers_.activated) handlers_.activated(found->second);
}

}  // namespace vardex::ui
