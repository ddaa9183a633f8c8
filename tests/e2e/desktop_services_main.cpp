// What a Wayland desktop's panel and notification daemon provide on the session bus, for the road
// walked under a bare compositor that has neither: a StatusNotifierWatcher with a host, which
// the app's tray item registers with, and a notification service. Prints "ready" once both names
// are taken; ends with its bus.
#include <cstdio>

#include <QCoreApplication>
#include <QDBusConnection>

#include "ui/support/desktop_services.hpp"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    auto bus = QDBusConnection::sessionBus();
    vardex::ui::testing::FakeWatcher watcher;
    vardex::ui::testing::FakeNotificationServer notices(bus);
    const bool watching = bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                          bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    if (!watching || !notices.start()) {
        std::fprintf(stderr, "the desktop's services could not take their names on the session bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}
