#include "ui/app/single_instance.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace vardex::ui {

namespace {

const QString serviceName = QStringLiteral("com.talvenor.VardexBar");
const QString objectPath = QStringLiteral("/com/talvenor/VardexBar");
// Long enough for a busy first instance to take the call; the second start leaves either way.
constexpr int raiseTimeoutMs = 3000;

}  // namespace

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

bool SingleInstance::claim() {
    if (!bus_.isConnected()) return true;
    if (bus_.registerService(serviceName)) {
        bus_.registerObject(objectPath, this, QDBusConnection::ExportAllSlots);
        return true;
    }
    // Waits with the event loop running, so an owner in this same process (tests) can answer.
    const QDBusMessage raise = QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, QStringLiteral("Raise"));
    bus_.call(raise, QDBus::BlockWithGui, raiseTimeoutMs);
    return false;
}

void SingleInstance::Raise() { Q_EMIT raiseRequested(); }

}  // namespace vardex::ui
