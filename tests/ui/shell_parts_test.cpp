// The shell's parts that stand without a store: where the popover goes, preferences read back
// from a real settings file, the applications-menu offer, the helper card, the receipt image and
// the notices.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QImage>
#include <QToolButton>

#include "policy/text_file.hpp"
#include "ui/app_menu_offer.hpp"
#include "ui/helper/local_helper.hpp"
#include "ui/app/single_instance.hpp"
#include "ui/ports/dbus_notifier.hpp"
#include "ui/ports/qt_window_host.hpp"
#include "ui/ports/settings_preferences.hpp"
#include "ui/screens/receipt/receipt_card.hpp"
#include "ui/support/desktop_services.hpp"
#include "ui/support/screen_harness.hpp"
#include "ui/tray/popover_placement.hpp"
#include "ui/widgets/helper_card.hpp"

namespace vardex::ui::testing {
namespace {

struct PlacementCase {
    const char* name;
    QRect icon;
    QPoint want;
};

class PopoverPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopoverPlacement, StaysNextToTheIconAndOnTheScreen) {
    const QRect screen(0, 24, 1280, 776);  // a top panel of 24 px
    const QPoint at = popoverPosition(GetParam().icon, QSize(380, 500), screen);
    EXPECT_EQ(at, GetParam().want);
    EXPECT_TRUE(screen.contains(QRect(at, QSize(380, 500)))) << "the whole popover is on screen";
}

INSTANTIATE_TEST_SUITE_P(Cases, PopoverPlacement, ::testing::Values(
        PlacementCase{"overAnIconInABottomPanel", QRect(1200, 776, 24, 24), QPoint(900, 776 - popoverGap - 500)},
        PlacementCase{"centredWhenTheIconsPlaceIsUnknown", QRect(), QPoint(449, 161)},
        PlacementCase{"keptBelowTheTopPanelWhenTheIconSitsLow", QRect(600, 20, 24, 24), QPoint(421, 44 + popoverGap)}), caseName);

// A popover that is a window of its own (Wayland) asks for the top right corner, inside the screen.
TEST(CornerPlacement, TopRightBelowThePanelAndNeverOffTheScreen) {
    EXPECT_EQ(cornerPopoverPosition(QSize(380, 500), QRect(0, 24, 1280, 776)), QPoint(1280 - popoverGap - 380, 24 + popoverGap));
    EXPECT_EQ(cornerPopoverPosition(QSize(380, 500), QRect(0, 0, 300, 400)), QPoint(0, 0));
}

// An open popover whose content grows or shrinks stays where it opened, kept on the screen.
struct KeptCase {
    const char* name;
    QRect now;
    QSize size;
    QPoint want;
};

class KeptPlacement : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptPlacement, StaysWhereItOpenedAndOnTheScreen) {
    const QRect screen(0, 24, 1280, 776);
    const QPoint at = keptPopoverPosition(GetParam().now, GetParam().size, screen);
    EXPECT_EQ(at, GetParam().want);
    EXPECT_TRUE(screen.contains(QRect(at, GetParam().size)));
}

INSTANTIATE_TEST_SUITE_P(Cases, KeptPlacement, ::testing::Values(
        KeptCase{"belowATopIconGrowsDown", QRect(890, 30, 380, 300), QSize(380, 420), QPoint(890, 30)},
        KeptCase{"overABottomIconGrowsUp", QRect(890, 470, 380, 300), QSize(380, 420), QPoint(890, 350)},
        KeptCase{"tooTallForTheRoomBelowMovesUpOnlyAsFarAsItMust", QRect(890, 300, 380, 100), QSize(380, 600), QPoint(890, 200)},
        KeptCase{"widerAtTheRightEdgeMovesLeft", QRect(900, 30, 380, 300), QSize(400, 300), QPoint(880, 30)}), caseName);

// A name typed without a suffix gets the export's own; one with a suffix keeps it.
struct SuffixCase {
    const char* name;
    std::string chosen;
    std::string suggested;
    std::string want;
};

class SavedSuffix : public ::testing::TestWithParam<SuffixCase> {};

TEST_P(SavedSuffix, ANameWithoutOneGetsTheExportsSuffix) {
    const auto& c = GetParam();
    EXPECT_EQ(withSavedSuffix(c.chosen, {c.suggested, {}, true}).string(), c.want);
}

INSTANTIATE_TEST_SUITE_P(Cases, SavedSuffix, ::testing::Values(
        SuffixCase{"logWithout", "/home/ana/today", "vardex-log.jsonl", "/home/ana/today.jsonl"},
        SuffixCase{"aSuffixOfItsOwnIsKept", "/home/ana/today.txt", "vardex-log.jsonl", "/home/ana/today.txt"},
        SuffixCase{"aDottedFolderIsNotASuffix", "/home/ana/v1.2/today", "vardex-log.jsonl", "/home/ana/v1.2/today.jsonl"},
        SuffixCase{"noSuggestedSuffixAddsNone", "/home/ana/today", "log", "/home/ana/today"}), caseName);

struct PreferenceCase {
    const char* name;
    PreferenceValue value;
};

class PreferencesReadBack : public ::testing::TestWithParam<PreferenceCase> {};

TEST_P(PreferencesReadBack, AValueReadsBackAsWrittenAfterARestart) {
    vardex::testing::TempHome home;
    const QString file = QString::fromStdString((home / "prefs" / "vardex-bar.conf").string());
    SettingsPreferences({file}).setValue("key", GetParam().value);
    EXPECT_EQ(SettingsPreferences({file}).value("key"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cases, PreferencesReadBack, ::testing::Values(
        PreferenceCase{"flagFalseStaysABool", false}, PreferenceCase{"largeInteger", std::int64_t{-9'000'000'000}},
        PreferenceCase{"fraction", 0.7}, PreferenceCase{"textThatLooksLikeANumber", std::string("42")},
        PreferenceCase{"textWithColonsAndUnicode", std::string("list:[\"x\"] · ☂")}, PreferenceCase{"emptyList", std::vector<std::string>{}},
        PreferenceCase{"listWithCommas", std::vector<std::string>{"a,b", "", "c"}},
        PreferenceCase{"moment", TimePoint{std::chrono::seconds(1'764'000'123)}}), caseName);

TEST(PreferencesReadBack, ForeignOrDamagedValuesReadAsAbsent) {
    for (const auto* text : {"", "true", "bool:yes", "int:12x", "list:{}", "list:[1]", "colour:red"}) {
        EXPECT_FALSE(decodePreference(QString::fromUtf8(text)).has_value()) << text;
    }
}

struct OfferCase {
    const char* name;
    const char* program;  // relative to the test folder; the install prefix is usr/local
    bool answer, wantAsked;
};

class AppMenuOfferTest : public ::testing::TestWithParam<OfferCase> {};

TEST_P(AppMenuOfferTest, OffersOnceFromOutsideThePrefixAndWritesTheEntry) {
    const auto& c = GetParam();
    vardex::testing::TempFolder folder;
    const auto program = folder / c.program;
    vardex::testing::writeScript(program, "exit 0\n");
    std::filesystem::create_directories(folder / "usr/local/bin");
    // A run that captures screens or skips the prompt is never asked (every end-to-end road).
    vardex::testing::ScopedEnv data("XDG_DATA_HOME", (folder / "data").string()), capture("VARDEX_CAPTURE_DIR", std::nullopt),
        skip("VARDEX_SKIP_MOVE_PROMPT", std::nullopt);
    vardex::testing::MemoryPreferences preferences;
    int asked = 0;
    AppMenuOffer offer(preferences, program, folder / "usr/local", [&] { ++asked; return c.answer; });

    const bool wantEntry = c.wantAsked && c.answer;
    EXPECT_EQ(offer.offerIfNeeded(), wantEntry);
    EXPECT_EQ(asked, c.wantAsked ? 1 : 0);
    const auto entry = readFileBytes(folder / "data/applications/com.talvenor.VardexBar.desktop");
    ASSERT_EQ(entry.ok(), wantEntry);
    EXPECT_EQ(std::filesystem::exists(folder / "data/icons/hicolor/scalable/apps/com.talvenor.VardexBar.svg"), wantEntry);
    if (wantEntry) {
        EXPECT_NE(entry->find("\nExec=\"" + std::filesystem::canonical(program).string() + "\"\n"), std::string::npos) << *entry;
        EXPECT_NE(entry->find("\nIcon=com.talvenor.VardexBar\n"), std::string::npos);
    }
    // Asked once ever: a second start does not ask again, whatever the answer was.
    EXPECT_FALSE(offer.offerIfNeeded());
    EXPECT_EQ(asked, c.wantAsked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, AppMenuOfferTest, ::testing::Values(
        OfferCase{"fromABuildFolderAccepted", "src/build/vardex-bar", true, true},
        OfferCase{"fromABuildFolderDeclined", "src/build/vardex-bar", false, true},
        OfferCase{"insideThePrefix", "usr/local/bin/vardex-bar", true, false},
        OfferCase{"aSiblingWithThePrefixAsItsStart", "usr/local2/bin/vardex-bar", true, true}), caseName);

// A model that answers when the test says so, with a reply or a failure.
class HeldModel final : public HelperModel {
public:
    bool available() const override { return up; }
    void respond(const std::string&, const std::string&, Reply done) override { pending = std::move(done); }
    bool up = true;
    Reply pending;
};

struct HelperCase {
    const char* name;
    bool switchedOff, modelUp;
    std::optional<std::string> reply;  // what the model answers, when it is asked
    std::string fallback, wantAnswer, wantSource;
    bool wantAsked;
};

class HelperCardTest : public ::testing::TestWithParam<HelperCase> {};

TEST_P(HelperCardTest, PressingTheButtonShowsTheRightExplanation) {
    const auto& c = GetParam();
    vardex::testing::MemoryPreferences preferences;
    if (c.switchedOff) preferences.values["localHelperOff"] = true;
    HeldModel model;
    model.up = c.modelUp;
    HelperCard card(model, preferences, {"Explain simply: a key", c.fallback}, false);
    auto* ask = child<QToolButton>(card, "helperAsk");
    ASSERT_NE(ask, nullptr);

    QTest::mouseClick(ask, Qt::LeftButton);
    if (model.pending) {
        EXPECT_TRUE(card.helper().busy());
        EXPECT_FALSE(ask->isEnabled()) << "a second press while the model works is not possible";
        model.pending(c.reply);
        QTRY_VERIFY(!card.helper().busy());
    }
    EXPECT_EQ(model.pending != nullptr, c.wantAsked);
    EXPECT_EQ(card.helper().answer(), std::optional(c.wantAnswer)) << "an empty fallback is an empty answer, not none";
    EXPECT_EQ(card.helper().source(), c.wantSource);
    EXPECT_TRUE(ask->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Cases, HelperCardTest, ::testing::Values(
        HelperCase{"switchedOffShowsFallbackAtOnce", true, true, "model", "Fallback.", "Fallback.", "built-in", false},
        HelperCase{"emptyFallbackIsEmptyAnswer", false, false, std::nullopt, "", "", "built-in", false},
        HelperCase{"modelReplyIsShown", false, true, "It keeps keys safe.", "Fallback.", "It keeps keys safe.", "on-device model", true},
        HelperCase{"modelErrorAfterBusyShowsFallback", false, true, std::nullopt, "Fallback.", "Fallback.", "built-in", true}), caseName);

// The image is the card at two pixels per point; the badge is drawn only on example data.
TEST(ReceiptPng, IsTheCardAtTwicePointsWithTheBadgeOnlyForExamples) {
    for (const bool example : {true, false}) {
        const ReceiptData data{std::chrono::system_clock::now(), 12, 2, 1, {"Claude Code", "Cursor"}, std::nullopt, example,
                                std::optional<std::string>("3:3fa9c2b1e0d4")};
        const auto png = renderReceiptPng(data);
        ASSERT_TRUE(png.has_value());
        QImage image;
        ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG"));
        ReceiptCard card;
        card.setData(data);
        card.adjustSize();
        EXPECT_EQ(image.size(), QSize(2 * ReceiptCard::cardWidth, 2 * card.height()));
        const QColor badgeColour = child<QLabel>(card, "receiptBadge")->palette().color(QPalette::Window);
        bool seen = false;
        for (int y = 0; y < image.height() && !seen; y += 2) {
            for (int x = image.width() / 2; x < image.width() && !seen; x += 2) seen = image.pixelColor(x, y) == badgeColour;
        }
        EXPECT_EQ(seen, example) << "the badge's colour in the image";
    }
}

// ---- notices over D-Bus: a fake notification service on the test's own session bus (each test
// program runs inside its own dbus-run-session) --------------------------------------------------

// Each test gets a second connection of its own for the server, so the notifier's calls really
// cross the bus.
class NotifierTest : public ::testing::Test {
protected:
    ~NotifierTest() override {
        serverBus_.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        QDBusConnection::disconnectFromBus(serverBus_.name());
    }

    // Posts a notice and waits for the server's reply, as when notices come seconds apart.
    void post(const std::string& identifier) {
        const auto before = server_.returned.size();
        notifier_.post({identifier, "Needs your answer", "Runs as administrator."});
        ASSERT_TRUE(QTest::qWaitFor([&] { return server_.returned.size() > before; }, 5000));
        QTest::qWait(20);
    }

    static inline int connections = 0;
    QDBusConnection serverBus_ =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-notifications-%1").arg(++connections));
    FakeNotificationServer server_{serverBus_};
    std::vector<std::string> activated, fellBack;
    DbusNotifier notifier_{QDBusConnection::sessionBus(),
                           {[this](const std::string& id) { activated.push_back(id); },
                            [this](const NotificationContent& content) { fellBack.push_back(content.identifier); }}};
};

// A notice replaces the one shown before under the same identifier, by the id the server gave
// that one, however many others came between; its default action opens the notice's window.
TEST_F(NotifierTest, SameIdentifierCarriesTheIdTheServerGaveBefore) {
    ASSERT_TRUE(server_.start());
    for (const char* identifier : {"daily-block", "ask-r1", "ask-r1", "ask-r2", "daily-block", "daily-block"}) post(identifier);
    const auto& got = server_.returned;
    const std::vector<uint> wantReplaces{0, 0, got[1], 0, got[0], got[0]};
    ASSERT_EQ(server_.calls.size(), wantReplaces.size());
    for (std::size_t i = 0; i < wantReplaces.size(); ++i) {
        EXPECT_EQ(server_.calls[i].replacesId, wantReplaces[i]) << "post " << i;
        EXPECT_EQ(server_.calls[i].hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.talvenor.VardexBar"));
        EXPECT_TRUE(server_.calls[i].actions.contains(QStringLiteral("default")));
    }
    EXPECT_TRUE(fellBack.empty());

    server_.invokeDefault(got[3]);
    server_.invokeDefault(9999);  // someone else's notice
    server_.invokeDefault(got[0]);
    ASSERT_TRUE(QTest::qWaitFor([&] { return activated.size() == 2; }, 5000));
    EXPECT_EQ(activated, (std::vector<std::string>{"ask-r2", "daily-block"}));
    EXPECT_EQ((std::vector{windowForNotice("now-protecting-Cursor"), windowForNotice("ask-r2"), windowForNotice("canary-trip")}),
              (std::vector{WindowKind::dashboard, WindowKind::approval, WindowKind::log}));
}

// A withdrawn notice is closed by the id the server gave it, also when it is withdrawn before the
// server has answered; one never shown closes nothing.
TEST_F(NotifierTest, AWithdrawnNoticeIsClosedByTheServersId) {
    ASSERT_TRUE(server_.start());
    post("ask-r1");
    notifier_.withdraw("ask-r1");
    notifier_.withdraw("ask-never-shown");
    notifier_.post({"ask-r2", "Needs your answer", "Runs as administrator."});
    notifier_.withdraw("ask-r2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return server_.closed.size() == 2; }, 5000));
    EXPECT_EQ(server_.closed, (std::vector<uint>{server_.returned[0], server_.returned[1]}));
}

TEST_F(NotifierTest, NoServiceFallsBackToTheTray) {
    notifier_.post({"daily-block", "Something was blocked", "Vardex blocked a risky action today."});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fellBack.empty(); }, 10000));
    EXPECT_EQ(fellBack, std::vector<std::string>{"daily-block"});
}

// ---- one instance per session --------------------------------------------------------------------

// A second start finds the first by its name on the session bus, asks it to raise its window and
// leaves; the first stays the one instance.
TEST(SingleInstanceTest, ASecondStartRaisesTheFirstAndLeaves) {
    QDBusConnection secondBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("second-start"));
    int raised = 0;
    {
        SingleInstance first(QDBusConnection::sessionBus());
        SingleInstance second(secondBus);
        QObject::connect(&first, &SingleInstance::raiseRequested, [&] { ++raised; });
        ASSERT_TRUE(first.claim());
        EXPECT_FALSE(second.claim());
        EXPECT_TRUE(QTest::qWaitFor([&] { return raised == 1; }, 5000));
    }
    QDBusConnection::sessionBus().unregisterService(QStringLiteral("com.talvenor.VardexBar"));
    QDBusConnection::disconnectFromBus(secondBus.name());
}

}  // namespace
}  // namespace vardex::ui::testing

