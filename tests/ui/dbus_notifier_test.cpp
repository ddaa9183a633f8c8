// The notifier against a fake notification service on the test's own session bus (each test
// program runs inside its own dbus-run-session).
#include <ostream>

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTest>
#include <QVariantMap>

#include "support/fake_engine_store.hpp"
#include "ui/ports/dbus_notifier.hpp"

namespace vardex::ui {
namespace {

struct NotifyCall {
    uint replacesId;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
};

// Records every Notify and answers with ids of its own choosing (never starting at 1).
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
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        bus_.send(signal);
    }

    std::vector<NotifyCall> calls;
    std::vector<uint> returned;

public Q_SLOTS:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int) {
        calls.push_back({replacesId, summary, body, actions, hints});
        const uint id = replacesId != 0 ? replacesId : nextId_++;
        returned.push_back(id);
        return id;
    }

private:
    QDBusConnection bus_;
    uint nextId_ = 417;
};

// Each test gets a second connection of its own for the server, so the notifier's calls really
// cross the bus.
class NotifierTest : public ::testing::Test {
protected:
    NotifierTest()
        : serverBus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                   QStringLiteral("fake-notifications-%1").arg(++connections))),
          server_(serverBus_) {}
    ~NotifierTest() override {
        serverBus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(serverBus_.name());
    }

    DbusNotifier makeNotifier() {
        return DbusNotifier(QDBusConnection::sessionBus(),
                            {[this](const std::string& id) { activated.push_back(id); },
                             [this](const NotificationContent& content) { fellBack.push_back(content.identifier); }});
    }

    static inline int connections = 0;
    QDBusConnection serverBus_;
    FakeNotificationServer server_;
    std::vector<std::string> activated;
    std::vector<std::string> fellBack;
};

struct ReplaceCase {
    const char* name;
    std::vector<std::string> identifiers;  // posted one after the other
    // For each post: the index of the earlier post whose id it must carry, or -1 for none.
    std::vector<int> wantReplaces;
    friend void PrintTo(const ReplaceCase& c, std::ostream* out) { *out << c.name; }
};

class NotifierReplaces : public NotifierTest, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(NotifierReplaces, SameIdentifierCarriesTheIdTheServerGaveBefore) {
    const auto& c = GetParam();
    ASSERT_TRUE(server_.start());
    auto notifier = makeNotifier();
    for (std::size_t i = 0; i < c.identifiers.size(); ++i) {
        notifier.post({c.identifiers[i], "Needs your answer", "Runs as administrator."});
        // Each reply is in before the next post, as when notices come seconds apart.
        ASSERT_TRUE(QTest::qWaitFor([&] { return server_.returned.size() == i + 1; }, 5000));
        QTest::qWait(20);
    }
    ASSERT_EQ(server_.calls.size(), c.wantReplaces.size());
    for (std::size_t i = 0; i < c.wantReplaces.size(); ++i) {
        const uint want = c.wantReplaces[i] < 0 ? 0U : server_.returned[static_cast<std::size_t>(c.wantReplaces[i])];
        EXPECT_EQ(server_.calls[i].replacesId, want) << "post " << i;
        EXPECT_EQ(server_.calls[i].hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.talvenor.VardexBar"));
        EXPECT_TRUE(server_.calls[i].actions.contains(QStringLiteral("default")));
    }
    EXPECT_TRUE(fellBack.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NotifierReplaces,
                         ::testing::Values(ReplaceCase{"secondPostReplacesFirst", {"ask-r1", "ask-r1"}, {-1, 0}},
                                           ReplaceCase{"otherIdentifiersStandApart", {"ask-r1", "ask-r2", "daily-block"}, {-1, -1, -1}},
                                           ReplaceCase{"thirdPostStillReplaces", {"daily-block", "ask-r1", "daily-block", "daily-block"},
                                                       {-1, -1, 0, 0}}),
                         vardex::testing::caseName);

TEST_F(NotifierTest, DefaultActionOpensTheNoticesWindow) {
    ASSERT_TRUE(server_.start());
    auto notifier = makeNotifier();
    notifier.post({"ask-r1", "Needs your answer", "sudo ls"});
    notifier.post({"now-protecting-Cursor", "Vardex", "Now protecting Cursor"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server_.returned.size() == 2; }, 5000));
    QTest::qWait(50);
    server_.invokeDefault(server_.returned[1]);
    server_.invokeDefault(9999);  // someone else's notice
    server_.invokeDefault(server_.returned[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 2; }, 5000));
    EXPECT_EQ(activated, (std::vector<std::string>{"now-protecting-Cursor", "ask-r1"}));
    EXPECT_EQ(windowForNotice(activated[0]), WindowKind::dashboard);
    EXPECT_EQ(windowForNotice(activated[1]), WindowKind::approval);
    EXPECT_EQ(windowForNotice("canary-trip"), WindowKind::log);
}

TEST_F(NotifierTest, NoServiceFallsBackToTheTray) {
    auto notifier = makeNotifier();
    notifier.post({"daily-block", "Something was blocked", "Vardex blocked a risky action today."});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fellBack.empty(); }, 10000));
    EXPECT_EQ(fellBack, std::vector<std::string>{"daily-block"});
}

}  // namespace
}  // namespace vardex::ui

#include "dbus_notifier_test.moc"
