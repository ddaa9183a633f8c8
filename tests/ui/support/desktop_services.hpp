#pragma once

// Stand-ins for the services a desktop's panel and notification daemon put on the session bus:
// a StatusNotifierWatcher that says a host is there and records the items that register, and a
// notification service that records every notice. The tray and notice tests run them in process;
// the Wayland road runs them as a program of their own (desktop_services_main.cpp).
#include <utility>
#include <vector>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace vardex::ui::testing {

class FakeWatcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return items_; }

    // Where the registered item answers: its bus name and object path (empty until then).
    std::pair<QString, QString> item() const {
        QMutexLocker lock(&mutex_);
        return item_;
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        const bool isPath = serviceOrPath.startsWith(QLatin1Char('/'));
        QMutexLocker lock(&mutex_);
        item_ = {isPath ? message.service() : serviceOrPath, isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem")};
        items_ << item_.first + item_.second;
    }

private:
    mutable QMutex mutex_;
    std::pair<QString, QString> item_;
    QStringList items_;
};

struct NotifyCall {
    uint replacesId;
    QStringList actions;
    QVariantMap hints;
};

// Records every Notify and CloseNotification and answers with ids of its own choosing (never
// starting at 1).
class FakeNotificationServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit FakeNotificationServer(QDBusConnection bus) : bus_(std::move(bus)) {}

    bool start() {
        return bus_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots) &&
               bus_.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    void invokeDefault(uint id) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        bus_.send(signal);
    }

    std::vector<NotifyCall> calls;
    std::vector<uint> returned;
    std::vector<uint> closed;

public Q_SLOTS:
    uint Notify(const QString&, uint replacesId, const QString&, const QString&, const QString&, const QStringList& actions,
                const QVariantMap& hints, int) {
        calls.push_back({replacesId, actions, hints});
        returned.push_back(replacesId != 0 ? replacesId : nextId_++);
        return returned.back();
    }
    void CloseNotification(uint id) { closed.push_back(id); }

private:
    QDBusConnection bus_;
    uint nextId_ = 417;
};

}  // namespace vardex::ui::testing
