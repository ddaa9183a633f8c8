// How the screens behave for a person at the desk: the popover's stop and quit questions, a stop
// opened from where it is listed, the helper's answer following the question, the approval window
// coming back for a new question, the words of the status lines, and what keyboard and screen
// reader users meet (names that tell rows apart, Tab reaching the safe answer first, glyphs that
// follow a scheme chosen after the screens were built).
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStyle>
#include <QToolButton>

#include "ui/app/approval_opener.hpp"
#include "ui/app/color_scheme.hpp"
#include "ui/screens/approval/approval_panel.hpp"
#include "ui/screens/main_window/pages/activity_page.hpp"
#include "ui/screens/main_window/pages/settings_page.hpp"
#include "ui/screens/popover/popover_view.hpp"
#include "ui/support/screen_harness.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace vardex::ui::testing {
namespace {

const std::vector<LogLine> todaysLog{{1, "cursor", "ls -la", "allow", ""},
                                     {2, "claude", "cat ~/.ssh/id_ed25519", "deny", "secrets.ssh_private_key"}};

QString shownText(const QWidget& root, const char* name) {
    const auto* widget = root.findChild<QWidget*>(QString::fromLatin1(name));
    if (!widget || !widget->isVisible()) return {};
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    return {};
}

// ---- the popover ---------------------------------------------------------------------------------

struct PopoverCase {
    const char* name;
    Input steps;
    std::function<void(ScreenHarness&, PopoverView&, QSignalSpy& quits)> check;
};

class PopoverActions : public ::testing::TestWithParam<PopoverCase> {};

TEST_P(PopoverActions, EachActionAsksOrOpensWhatItShould) {
    ScreenHarness screens;
    screens.store().connected = true;
    screens.writeLog(todaysLog);
    const auto view = screens.show<PopoverView>();
    QSignalSpy quits(view.get(), &PopoverView::quitRequested);
    GetParam().steps(*view);
    screens.settle();
    GetParam().check(screens, *view, quits);
}

INSTANTIATE_TEST_SUITE_P(Cases, PopoverActions, ::testing::Values(
        PopoverCase{"stopAsksToCloseTheRunningAppsAndSaysWhatItDid", click("popoverStop"),
                    [](ScreenHarness& screens, PopoverView& view, QSignalSpy&) {
                        EXPECT_EQ(shownText(view, "popoverStopConfirmQuestion"), QStringLiteral("Also close the running AI app?"));
                        EXPECT_EQ(shownText(view, "popoverStopConfirmConfirm"), QStringLiteral("Close it"));
                        EXPECT_EQ(shownText(view, "popoverStopConfirmCancel"), QStringLiteral("Cancel"));
                        ASSERT_TRUE(screens.store().v3StopMessage);
                        EXPECT_EQ(shownText(view, "popoverStopMessage").toStdString(), *screens.store().v3StopMessage);
                    }},
        PopoverCase{"cancellingTheCloseQuestionPutsItAway", click("popoverStop", "popoverStopConfirmCancel"),
                    [](ScreenHarness& screens, PopoverView& view, QSignalSpy&) {
                        EXPECT_FALSE(screens.store().v3ConfirmStopAgent);
                        EXPECT_EQ(shownText(view, "popoverStopConfirmQuestion"), QString());
                        EXPECT_TRUE(screens.store().agentsStopped) << "the stop itself stands";
                    }},
        PopoverCase{"theLatestStopOpensItsDetailInTheMainWindow", click("popoverLatestWhy"),
                    [](ScreenHarness& screens, PopoverView&, QSignalSpy&) {
                        const auto entry = screens.store().blockedDetailEntry();
                        ASSERT_TRUE(entry);
                        EXPECT_EQ(entry->actionSummary, "cat ~/.ssh/id_ed25519");
                        EXPECT_EQ(screens.store().page, VardexPage::home);
                        EXPECT_EQ(screens.windowsOpened(), std::vector<std::string>{"dashboard"});
                    }},
        PopoverCase{"quitGoesOnlyOnceConfirmed", click("popoverQuit", "popoverConfirmConfirm"),
                    [](ScreenHarness&, PopoverView&, QSignalSpy& quits) { EXPECT_EQ(quits.count(), 1); }}),
    caseName);

// Without a tray the popover is a small window: the tray menu's Quit road asks first there too,
// and another start of the app brings the window back after it was closed.
TEST(PopoverWindow, QuitAsksFirstAndAClosedWindowComesBack) {
    ScreenHarness screens;
    // Started already: the window's showing asks for no start-up of its own here.
    screens.store().running.set(true);
    MenuBarStatus status(screens.context());
    ASSERT_FALSE(status.hasTray());
    QSignalSpy quits(&status, &MenuBarStatus::quitRequested);
    status.popover()->close();
    status.askToQuit();
    screens.settle();
    EXPECT_TRUE(status.popover()->isVisible());
    EXPECT_FALSE(shownText(*status.popover(), "popoverConfirmQuestion").isEmpty());
    EXPECT_EQ(quits.count(), 0);

    status.popover()->close();
    status.bringBack();
    EXPECT_TRUE(status.popover()->isVisible());
}

// ---- a stop opened from its row; "Why?" on every kind of row ---------------------------------------

struct RowCase {
    const char* name;
    const char* sentence;
    bool hasDetails;
    const char* why;
};

class ActivityRows : public ::testing::TestWithParam<RowCase> {};

TEST_P(ActivityRows, WhyTellsWhatHappenedAndAStopOpensItsDetail) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.writeLog(todaysLog);
    const auto page = screens.show<ActivityPage>(nullptr);
    // Rows are built again on every redraw: looked up afresh after each click.
    const auto row = [&]() -> QWidget& {
        for (auto* sentence : page->findChildren<QLabel*>(QStringLiteral("rowSentence"))) {
            if (sentence->text() == QLatin1String(c.sentence)) return *sentence->parentWidget();
        }
        ADD_FAILURE() << "no row reads " << c.sentence;
        return *page;
    };
    screens.click(row(), "rowWhy");
    EXPECT_EQ(shownText(row(), "rowStory").toStdString(), c.why);

    const bool hasDetails = row().findChild<QPushButton*>(QStringLiteral("rowDetails")) != nullptr;
    ASSERT_EQ(hasDetails, c.hasDetails);
    if (!hasDetails) return;
    screens.click(row(), "rowDetails");
    EXPECT_EQ(shownText(*page, "blockedSentence").toStdString(),
              "We stopped the command \u201ccat ~/.ssh/id_ed25519\u201d from Claude Code.");
    screens.click(*page, "blockedOK");
    EXPECT_EQ(shownText(*page, "blockedSentence"), QString());
}

INSTANTIATE_TEST_SUITE_P(Cases, ActivityRows, ::testing::Values(
        RowCase{"aStop", "We stopped Claude Code from reading your secret key.", true,
                "An AI app tried to read a private server key. Anyone with that key can log into your servers as you."},
        RowCase{"anActionThatRan", "Cursor did a safe thing.", false, "This looked safe, so Vardex let it run."}),
    caseName);

// ---- the helper and the approval window follow the questions ---------------------------------------

// Both questions are under the same rule, so an answer kept per rule would show.
TEST(NextQuestion, TheHelperStartsEmptyForTheQuestionThatComesToTheTop) {
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.daemonAsks(sudoRequest("r-2"));
    const auto panel = screens.show<ApprovalPanel>();
    screens.click(*panel, "helperAsk");
    ASSERT_FALSE(shownText(*panel, "helperAnswer").isEmpty());
    screens.daemonWithdraws("r-1");
    EXPECT_EQ(child<QPlainTextEdit>(*panel, "approvalSummary")->toPlainText(), QStringLiteral("sudo ls"));
    EXPECT_EQ(shownText(*panel, "helperAnswer"), QString()) << "the last question's answer went with it";
}

// The window opens for every question that was not waiting before, also while others wait (the
// user put it away with Escape), and not for one that merely went.
TEST(ApprovalWindowOpener, OpensForEachNewQuestionOnly) {
    ScreenHarness screens;
    ApprovalOpener opener(screens.context().watcher);
    screens.connect();
    const auto approvals = [&] { return std::ranges::count(screens.windowsOpened(), std::string("approval")); };
    screens.daemonAsks(sudoRequest("r-1"));
    EXPECT_EQ(approvals(), 1);
    screens.daemonAsks(sudoRequest("r-2"));
    EXPECT_EQ(approvals(), 2);
    screens.daemonWithdraws("r-1");
    EXPECT_EQ(approvals(), 2);
}

// ---- status words ----------------------------------------------------------------------------------

struct WordsCase {
    const char* name;
    std::function<void(VardexStore&)> arrange;
    std::function<std::unique_ptr<QWidget>(ScreenHarness&)> build;
    const char* object;
    const char* want;
};

template <class Page>
std::unique_ptr<QWidget> page(ScreenHarness& screens) {
    return screens.show<Page>(nullptr);
}

class StatusWords : public ::testing::TestWithParam<WordsCase> {};

TEST_P(StatusWords, SayWhatIsTrue) {
    ScreenHarness screens(pageEngine);
    GetParam().arrange(screens.store());
    const auto screen = GetParam().build(screens);
    screens.settle();
    EXPECT_EQ(shownText(*screen, GetParam().object).toStdString(), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusWords, ::testing::Values(
        WordsCase{"settingsWhileProtected", [](VardexStore& store) { store.connected = true; }, page<SettingsPage>, "pausedLine",
                  "Protection is on."},
        WordsCase{"settingsWhileOff", [](VardexStore& store) { store.connected = false; }, page<SettingsPage>, "pausedLine",
                  "Protection is off."},
        WordsCase{"settingsWhileAppsAreStopped", [](VardexStore& store) { store.connected = true; store.agentsStopped = true; },
                  page<SettingsPage>, "pausedLine", "New actions are blocked until you resume."}),
    caseName);

// ---- keyboard and screen readers -------------------------------------------------------------------

// The controls a screen reader lists under `root`, by their spoken name.
std::map<QString, int> spokenNames(const QWidget& root) {
    std::map<QString, int> names;
    for (auto* control : root.findChildren<QAbstractButton*>()) {
        if (control->isVisible()) ++names[control->accessibleName().isEmpty() ? control->text() : control->accessibleName()];
    }
    return names;
}

struct SpokenCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>(ScreenHarness&)> build;
};

class SpokenNames : public ::testing::TestWithParam<SpokenCase> {};

TEST_P(SpokenNames, NoTwoControlsSoundAlikeAndNoneIsJustOn) {
    ScreenHarness screens(pageEngine);
    screens.writeLog(todaysLog);
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    auto other = sudoRequest("r-2");
    other.actionSummary = "sudo rm -rf /tmp/cache";
    screens.daemonAsks(other);
    const auto screen = GetParam().build(screens);
    screens.settle();
    for (const auto& [name, count] : spokenNames(*screen)) {
        EXPECT_EQ(count, 1) << name.toStdString() << " names more than one control";
        EXPECT_NE(name, QStringLiteral("On"));
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, SpokenNames, ::testing::Values(
        SpokenCase{"popover", [](ScreenHarness& screens) -> std::unique_ptr<QWidget> { return screens.show<PopoverView>(); }},
        SpokenCase{"activity", page<ActivityPage>},
        SpokenCase{"settings", [](ScreenHarness& screens) {
                       screens.store().advancedOpen = true;
                       return page<SettingsPage>(screens);
                   }}),
    caseName);

// Which of `candidates` Tab reaches first, walking on from `start`.
QWidget* firstByTab(QWidget* start, const std::vector<QWidget*>& candidates) {
    for (QWidget* at = start->nextInFocusChain(); at && at != start; at = at->nextInFocusChain()) {
        if (std::ranges::find(candidates, at) != candidates.end()) return at;
    }
    return nullptr;
}

TEST(TabOrder, TheSafeAnswerComesFirst) {
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    const auto panel = screens.show<ApprovalPanel>();
    auto* deny = child<QWidget>(*panel, "approvalDeny");
    auto* allow = child<QWidget>(*panel, "approvalAllow");
    EXPECT_EQ(firstByTab(child<QWidget>(*panel, "approvalSummary"), {deny, allow}), deny);

    const auto view = screens.show<PopoverView>();
    auto* block = child<QWidget>(*view, "pendingBlock");
    auto* allowOnce = child<QWidget>(*view, "pendingAllowOnce");
    EXPECT_EQ(firstByTab(child<QWidget>(*view, "helperAsk"), {block, allowOnce}), block);
}

// The portal tells the app its scheme after the popover was built: the glyphs turn light.
TEST(DarkSchemeLater, RepaintsThePopoversGlyphs) {
    QApplication::setPalette(QApplication::style()->standardPalette());
    ScreenHarness screens;
    screens.store().connected = true;
    const auto view = screens.show<PopoverView>();
    QApplication::setPalette(darkPalette());
    screens.settle();
    const auto lightest = [](const QIcon& icon) {
        const QImage image = icon.pixmap(QSize(16, 16)).toImage();
        int most = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).alpha() > 128) most = std::max(most, image.pixelColor(x, y).lightness());
            }
        }
        return most;
    };
    for (const char* name : {"popoverOpen", "popoverDelete", "popoverStop"}) {
        EXPECT_GT(lightest(child<QToolButton>(*view, name)->icon()), 160) << name << " stays dark on dark";
    }
    QApplication::setPalette(QApplication::style()->standardPalette());
}

}  // namespace
}  // namespace vardex::ui::testing
