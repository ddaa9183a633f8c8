#pragma once

#include <QDBusConnection>
#include <QObject>

namespace vardex::ui {

// One app per user session: the first start owns a well-known name on the session bus, and a
// later start asks that one to show its window and leaves, so two apps never answer the same
// questions or post the same notices.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.talvenor.VardexBar")
public:
    explicit SingleInstance(QDBusConnection bus, QObject* parent = nullptr);

    // True when this process is the one instance (also when there is no session bus to ask);
    // false when another owns the name, which has then been asked to raise its window.
    bool claim();

public Q_SLOTS:
    // Called over the bus by a later start.
    void Raise();

Q_SIGNALS:
    void raiseRequested();

private:
    QDBusConnection bus_;
};

}  // namespace vardex::ui
