// The tray item with a StatusNotifierItem host: a fake StatusNotifierWatcher, with a host
// registered, is on the bus before the first tray icon is made (Qt looks for one once per
// process). The item registers, and its tool-tip and icon are readable over D-Bus. (How the
// tool-tip follows the store is the status's own; the roads run it.)
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMutex>
#include <QSemaphore>
#include <QThread>

#include "ui/support/desktop_services.hpp"
#include "ui/support/screen_harness.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace vardex::ui {
namespace {

using testing::FakeWatcher;

// Qt asks the watcher with blocking calls from the GUI thread, so the fake answers from a thread
// of its own, on a connection of its own.
class WatcherThread final : public QThread {
public:
    ~WatcherThread() override {
        quit();
        wait();
    }
    // The watcher once it answers on the bus; null when it could not register.
    const FakeWatcher* startAndRegister() {
        start();
        ready_.acquire();
        return watcher_;
    }

protected:
    void run() override {
        FakeWatcher watcher;
        {
            auto bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-watcher"));
            if (bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) &&
                bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
                watcher_ = &watcher;
            }
        }
        ready_.release();
        exec();
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-watcher"));
        watcher_ = nullptr;
    }

private:
    QSemaphore ready_;
    FakeWatcher* watcher_ = nullptr;
};

// Read the way a host reads it: over the bus, from a connection of its own (a call on the
// app's own connection would be short-cut in process), without blocking the item's thread.
QVariant itemProperty(const FakeWatcher& watcher, const QString& name) {
    const auto [service, path] = watcher.item();
    static QDBusConnection reader = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host-reader"));
    QDBusMessage get = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    QDBusPendingCall call = reader.asyncCall(get, 5000);
    if (!QTest::qWaitFor([&] { return call.isFinished(); }, 6000)) return {};
    const QDBusMessage reply = call.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

struct Pixmap {
    int width = 0, height = 0;
    QByteArray argb;
};

const QDBusArgument& operator>>(const QDBusArgument& in, Pixmap& pixmap) {
    in.beginStructure();
    in >> pixmap.width >> pixmap.height >> pixmap.argb;
    in.endStructure();
    return in;
}

// A tool-tip is an icon name, its pixmaps, a title and a text.
QString toolTipTitle(const QVariant& value) {
    const auto argument = value.value<QDBusArgument>();
    QString icon, title, text;
    QList<Pixmap> pixmaps;
    argument.beginStructure();
    argument >> icon >> pixmaps >> title >> text;
    argument.endStructure();
    return title.isEmpty() ? text : title;
}

TEST(StatusNotifierTray, ItemRegistersWithItsToolTipAndIcon) {
    WatcherThread thread;
    const FakeWatcher* watcher = thread.startAndRegister();
    ASSERT_NE(watcher, nullptr);

    testing::ScreenHarness screens;
    MenuBarStatus status(screens.context());
    ASSERT_TRUE(status.hasTray()) << "a registered host makes a tray";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher->item().first.isEmpty(); }, 5000)) << "the item registers";

    EXPECT_EQ(toolTipTitle(itemProperty(*watcher, QStringLiteral("ToolTip"))), status.toolTip());
    QList<Pixmap> pixmaps;
    itemProperty(*watcher, QStringLiteral("IconPixmap")).value<QDBusArgument>() >> pixmaps;
    ASSERT_FALSE(pixmaps.empty());
    bool someInk = false;
    for (const auto& pixmap : pixmaps) {
        EXPECT_EQ(pixmap.argb.size(), pixmap.width * pixmap.height * 4);
        for (qsizetype i = 0; i < pixmap.argb.size(); i += 4) someInk = someInk || pixmap.argb[i] != 0;
    }
    EXPECT_TRUE(someInk) << "the icon is not blank";
}

}  // namespace
}  // namespace vardex::ui

