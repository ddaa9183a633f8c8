// How the screens follow the store: idle seconds rebuild nothing and keep the keyboard focus and
// an open answer, a hidden window draws nothing until it is shown, and every busy flag and error
// the store publishes shows beside the control it concerns.

#include <QPointer>

#include "bridge/rules_catalog.hpp"
#include "strings/ui_strings.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"
#include "ui/screens/main_window/main_window.hpp"
#include "ui/screens/main_window/pages/health_page.hpp"
#include "ui/screens/main_window/pages/home_page.hpp"
#include "ui/screens/main_window/pages/settings_page.hpp"
#include "ui/screens/popover/popover_view.hpp"
#include "ui/support/screen_harness.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui::testing {
namespace {

const std::vector<LogLine> twoGroups{{1, "cursor", "ls", "allow", ""}, {2, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"},
                                     {3, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"}};

// Every widget under `root`, held weakly: one a redraw deleted reads as null.
std::vector<QPointer<QWidget>> widgetsUnder(const QWidget& root) {
    std::vector<QPointer<QWidget>> all;
    for (auto* widget : root.findChildren<QWidget*>()) all.emplace_back(widget);
    return all;
}

std::size_t deleted(const std::vector<QPointer<QWidget>>& widgets) {
    return static_cast<std::size_t>(std::ranges::count_if(widgets, [](const QPointer<QWidget>& widget) { return widget.isNull(); }));
}

// Idle seconds as the store lives them: the clock moves, the store ticks, the screens follow.
void idle(ScreenHarness& screens, int seconds) {
    for (int second = 0; second < seconds; ++second) {
        screens.advance(1.0);
        screens.store().tick();
        screens.settle();
    }
}

std::unique_ptr<MainWindow> windowOn(ScreenHarness& screens, VardexPage page) {
    screens.store().page = page;
    auto window = screens.show<MainWindow>();
    window->activateWindow();
    screens.settle();
    return window;
}

// ---- idle seconds -------------------------------------------------------------------------------

struct IdleCase {
    const char* name;
    VardexPage page;
    std::function<void(VardexStore&)> arrange;
    const char* clockLine = "";  // a line that follows the clock: it reads otherwise a minute later
};

class IdlePage : public ::testing::TestWithParam<IdleCase> {};

TEST_P(IdlePage, TenSecondsRebuildNothingAndAMinuteMovesOnlyTheClockLine) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    screens.writeLog(twoGroups);
    screens.store().agents = {{"claude", "Claude Code", true, true, "", AgentInstallRow::Kind::claude},
                              {"cursor", "Cursor", true, false, "", AgentInstallRow::Kind::cursor}};
    screens.store().catalog = *RulesCatalog::load();
    if (c.arrange) c.arrange(screens.store());
    screens.store().publish();
    const auto window = windowOn(screens, c.page);
    const auto before = widgetsUnder(*window);

    idle(screens, 10);
    EXPECT_EQ(deleted(before), 0u);
    EXPECT_EQ(widgetsUnder(*window).size(), before.size()) << "widgets were made";
    if (!*c.clockLine) return;
    auto* line = child<QLabel>(*window, c.clockLine);
    const QString early = line->text();
    idle(screens, 60);
    EXPECT_NE(line->text(), early);
    EXPECT_EQ(deleted(before), 0u);
}

INSTANTIATE_TEST_SUITE_P(Pages, IdlePage, ::testing::Values(
        IdleCase{"home", VardexPage::home, nullptr},
        IdleCase{"activity", VardexPage::activity, nullptr},
        IdleCase{"healthWithTheAppList", VardexPage::doctor,
                 [](VardexStore& store) {
                     store.showAddAppList = true;
                     store.lastHealthCheck = store.now;
                 },
                 "checkedLine"},
        IdleCase{"protection", VardexPage::protection,
                 [](VardexStore& store) {
                     store.userPolicy.rules.push_back(UserRule::site("user.protected.site.blocked", "blocked.example"));
                 }},
        IdleCase{"rules", VardexPage::rules, nullptr}), caseName);

TEST(IdleActivity, FocusAndAnOpenAnswerOutlastTenSeconds) {
    ScreenHarness screens;
    screens.writeLog(twoGroups);
    const auto window = windowOn(screens, VardexPage::activity);
    // The blocked row (newest first) opens its story with a helper card; its answer is asked for.
    screens.click(*window, "rowWhy");
    auto* row = child<QWidget>(*window, "activityRow0");
    ASSERT_NE(row, nullptr);
    screens.click(*row, "helperAsk");
    auto* answer = child<QLabel>(*row, "helperAnswer");
    ASSERT_TRUE(answer && answer->isVisible());
    const QString said = answer->text();
    auto* focused = window->findChildren<QPushButton*>(QStringLiteral("rowDelete")).value(1);
    ASSERT_NE(focused, nullptr);
    focused->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(focused->hasFocus());

    idle(screens, 10);
    const QPointer<QLabel> kept(answer);
    ASSERT_FALSE(kept.isNull()) << "the row was rebuilt";
    EXPECT_TRUE(answer->isVisible());
    EXPECT_EQ(answer->text(), said);
    EXPECT_TRUE(focused->hasFocus());
}

// ---- a hidden window ----------------------------------------------------------------------------

TEST(HiddenWindow, DrawsNothingAndCatchesUpWhenShown) {
    ScreenHarness screens;
    screens.writeLog({twoGroups.front()});
    const auto window = windowOn(screens, VardexPage::activity);
    const auto rows = [&] { return window->findChildren<QWidget*>(QStringLiteral("rowSentence")).size(); };
    ASSERT_EQ(rows(), 1);
    window->hide();
    const auto before = widgetsUnder(*window);

    screens.writeLog(twoGroups);
    idle(screens, 3);
    EXPECT_EQ(deleted(before), 0u);
    EXPECT_EQ(rows(), 1);

    window->show();
    screens.settle();
    EXPECT_EQ(rows(), 2);
}

// ---- busy flags and errors ----------------------------------------------------------------------

struct StateCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>(ScreenHarness&)> build;
    std::function<void(VardexStore&, bool)> hold;  // puts the state in place, or takes it away
    const char* object;
    std::string_view wantText;  // what the control or line says while the state holds
    bool disables;              // the control is disabled while the state holds
};

template <class Page>
std::function<std::unique_ptr<QWidget>(ScreenHarness&)> page() {
    return [](ScreenHarness& screens) -> std::unique_ptr<QWidget> { return screens.show<Page>(nullptr); };
}

QString shown(const QWidget& root, QWidget* widget) {
    if (!widget->isVisibleTo(&root)) return {};
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    return {};
}

class BusyAndErrors : public ::testing::TestWithParam<StateCase> {};

TEST_P(BusyAndErrors, ShowBesideTheirControlWhileTheyHold) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    screens.store().advancedOpen = true;
    const auto surface = c.build(screens);
    auto* widget = child<QWidget>(*surface, c.object);
    ASSERT_NE(widget, nullptr);
    const QString want = qs(c.wantText);

    c.hold(screens.store(), true);
    screens.store().publish();
    screens.settle();
    EXPECT_EQ(shown(*surface, widget), want);
    EXPECT_EQ(widget->isEnabled(), !c.disables);

    c.hold(screens.store(), false);
    screens.store().publish();
    screens.settle();
    EXPECT_NE(shown(*surface, widget), want);
    EXPECT_TRUE(widget->isEnabled());
}

const auto setupError = [](VardexStore& store, bool on) {
    store.setupError = on ? std::optional(std::string(UIStrings::cannotTurnProtectionOn)) : std::nullopt;
};
const auto savingPolicy = [](VardexStore& store, bool on) { store.savingPolicy = on; };
const auto startingProtection = [](VardexStore& store, bool on) { store.startingProtection = on; };

INSTANTIATE_TEST_SUITE_P(States, BusyAndErrors, ::testing::Values(
        StateCase{"startFailureUnderTurnOnAtHome", page<HomePage>(), setupError, "setupError", UIStrings::cannotTurnProtectionOn, false},
        StateCase{"startFailureUnderTurnOnInThePopover", [](ScreenHarness& s) -> std::unique_ptr<QWidget> { return s.show<PopoverView>(); },
                  setupError, "popoverSetupError", UIStrings::cannotTurnProtectionOn, false},
        StateCase{"startFailureBesideTheProtectionButton", page<SettingsPage>(), setupError, "setupError",
                  UIStrings::cannotTurnProtectionOn, false},
        StateCase{"turningOnAtHome", page<HomePage>(), startingProtection, "statusAction", UIStrings::starting, true},
        StateCase{"turningOnInSettings", page<SettingsPage>(), startingProtection, "protectionToggle", UIStrings::starting, true},
        StateCase{"savingSettings", page<SettingsPage>(), savingPolicy, "saveSettings", UIStrings::saving, true},
        StateCase{"verifyingTheLog", page<SettingsPage>(), [](VardexStore& store, bool on) { store.verifyingLog = on; }, "verifyLog",
                  UIStrings::checking, true},
        StateCase{"changingLogin", page<SettingsPage>(), [](VardexStore& store, bool on) { store.changingStartAtLogin = on; },
                  "startAtLogin", UIStrings::saving, true},
        StateCase{"checkingHealth", page<HealthPage>(), [](VardexStore& store, bool on) { store.checkingHealth = on; }, "checkedLine",
                  UIStrings::checking, false}), caseName);

TEST(ReceiptExport, TheSavedMessageShowsBesideItsButton) {
    ScreenHarness screens;
    vardex::testing::TempFolder folder;
    vardex::testing::ScopedEnv exportFile("VARDEX_EXPORT_FILE", (folder.path() / "activity.jsonl").string());
    screens.store().showReceipt = true;
    const auto home = screens.show<HomePage>(nullptr);
    auto* message = child<QLabel>(*home, "receiptMessage");
    EXPECT_FALSE(message->isVisible());
    screens.click(*home, "receiptExport");
    ASSERT_TRUE(screens.store().lastMessage);
    EXPECT_TRUE(message->isVisible());
    EXPECT_EQ(message->text(), qs(*screens.store().lastMessage));
    EXPECT_TRUE(message->text().startsWith(qs(UIStrings::v2Exported)));
}

// A script's next command looks at the screens right after the one before it, in the same turn.
TEST(StoreWatcherFlush, AWaitingRedrawHappensAtOnceAndOnlyOnce) {
    ScreenHarness screens;
    int redraws = 0;
    QObject::connect(&screens.context().watcher, &StoreWatcher::changed, [&] { ++redraws; });
    screens.store().publish();
    screens.store().publish();
    screens.context().watcher.flush();
    EXPECT_EQ(redraws, 1);
    screens.settle();
    EXPECT_EQ(redraws, 1);
}

}  // namespace
}  // namespace vardex::ui::testing
