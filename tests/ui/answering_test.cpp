// The popover and the approval panel against a real store and a scripted daemon: which input
// answers and which answers nothing, the exact verdict line that reaches the daemon, and what each
// control leaves in the store.
#include <map>

#include <QFrame>
#include <QPlainTextEdit>

#include "ui/screens/approval/approval_panel.hpp"
#include "ui/screens/popover/popover_view.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

// What a person typing into another window sends when the panel takes the focus.
void typing(QWidget& surface) {
    QWidget* target = surface.focusWidget() ? surface.focusWidget() : &surface;
    QTest::keyClicks(target, QStringLiteral("yes a"));
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Space);
}

struct AnswerCase {
    const char* name;
    bool popover;  // else the approval panel
    Severity severity;
    double secondsBeforeInput;  // after the question appeared
    Input input;
    const char* wantVerdict;  // the one answer the daemon receives; empty: none
    bool wantPaused = false, wantVisible = true;
};

class AnswerTable : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AnswerTable, InputReachesTheDaemonExactlyAndOnlyWhenMeantTo) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1", c.severity));
    const std::unique_ptr<QWidget> surface = c.popover ? std::unique_ptr<QWidget>(screens.show<PopoverView>())
                                                       : std::unique_ptr<QWidget>(screens.show<ApprovalPanel>());
    surface->activateWindow();
    screens.advance(c.secondsBeforeInput);

    c.input(*surface);
    screens.settle();

    const bool answered = *c.wantVerdict != '\0';
    EXPECT_EQ(screens.answersReceived(), answered ? std::vector{verdictLine("r-1", c.wantVerdict)} : std::vector<std::string>{});
    EXPECT_EQ(screens.store().pending.size(), answered ? 0U : 1U);
    EXPECT_EQ(screens.store().isPaused(), c.wantPaused);
    EXPECT_EQ(surface->isVisible(), c.wantVisible);
}

INSTANTIATE_TEST_SUITE_P(Panel, AnswerTable, ::testing::Values(
        AnswerCase{"allowAfterArming", false, Severity::high, 1.0, click("approvalAllow"), "allow_once"},
        AnswerCase{"altAAllowsThisTime", false, Severity::high, 1.0, key(Qt::Key_A, Qt::AltModifier), "allow_once"},
        AnswerCase{"altDDoesNotAllow", false, Severity::high, 1.0, key(Qt::Key_D, Qt::AltModifier), "deny"},
        AnswerCase{"clickWhileArmingAnswersNothing", false, Severity::high, 0.9, click("approvalAllow"), ""},
        AnswerCase{"altAWhileArmingAnswersNothing", false, Severity::high, 0.5, key(Qt::Key_A, Qt::AltModifier), ""},
        AnswerCase{"enterHasNoDefaultAnswer", false, Severity::high, 1.0, key(Qt::Key_Return), ""},
        AnswerCase{"typingAnswersNothing", false, Severity::high, 1.0, typing, ""},
        AnswerCase{"escapeClosesWithoutAnswering", false, Severity::high, 1.0, key(Qt::Key_Escape), "", false, false}), caseName);

INSTANTIATE_TEST_SUITE_P(Popover, AnswerTable, ::testing::Values(
        AnswerCase{"allowThisTime", true, Severity::high, 1.0, click("pendingAllowOnce"), "allow_once"},
        AnswerCase{"alwaysAllow", true, Severity::high, 1.0, click("pendingAlwaysAllow"), "always_allow"},
        AnswerCase{"block", true, Severity::medium, 1.0, click("pendingBlock"), "deny"},
        AnswerCase{"criticalOffersNoAlwaysAllow", true, Severity::critical, 1.0, click("pendingAlwaysAllow"), ""},
        AnswerCase{"pauseOnlyOnceConfirmedRefusesWhatWaits", true, Severity::high, 1.0,
                   click("popoverPause", "popoverConfirmConfirm"), "deny", true},
        AnswerCase{"stopRefusesWhatWaits", true, Severity::high, 0.0, click("popoverStop"), "deny"}), caseName);

// The oldest question is answered first, and the next comes to the top shut, so a double press
// answers one.
TEST(ApprovalPanelQueue, TheNextQuestionArmsAgain) {
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.daemonAsks(sudoRequest("r-2", Severity::critical));
    const auto panel = screens.show<ApprovalPanel>();
    screens.advance(1.0);
    auto* queueLine = child<QLabel>(*panel, "approvalQueueLine");
    EXPECT_TRUE(queueLine->isVisible());

    QTest::keyClick(panel.get(), Qt::Key_A, Qt::AltModifier);
    screens.settle();
    QTest::keyClick(panel.get(), Qt::Key_A, Qt::AltModifier);
    screens.settle();
    EXPECT_EQ(screens.answersReceived(), std::vector{verdictLine("r-1", "allow_once")});
    EXPECT_EQ(child<QPlainTextEdit>(*panel, "approvalSummary")->toPlainText(), QStringLiteral("sudo ls"));
    EXPECT_FALSE(queueLine->isVisible()) << "one question left";
}

// A second question does not re-arm the first, and arrives shut itself.
TEST(PopoverRows, EachRowArmsOnItsOwnWhenItIsInserted) {
    ScreenHarness screens;
    screens.connect();
    const auto view = screens.show<PopoverView>();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.advance(0.8);
    screens.daemonAsks(sudoRequest("r-2"));
    screens.advance(0.4);

    std::map<QString, bool> armed;
    for (auto* row : view->findChildren<QFrame*>(QStringLiteral("pendingRow"))) {
        armed[row->property("requestId").toString()] = row->findChild<QPushButton*>(QStringLiteral("pendingBlock"))->isEnabled();
    }
    EXPECT_EQ(armed, (std::map<QString, bool>{{QStringLiteral("r-1"), true}, {QStringLiteral("r-2"), false}}));
}

// An agent withdraws the first question just as the user clicks: the second row moves under the
// pointer, and the click meant for the first answers nothing until the second has armed again.
TEST(PopoverRows, ARowThatMovesUnderThePointerArmsAgain) {
    ScreenHarness screens;
    screens.connect();
    const auto view = screens.show<PopoverView>();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.daemonAsks(sudoRequest("r-2"));
    screens.advance(1.0);
    const auto alwaysAllowOf = [&](const char* id) {
        for (auto* row : view->findChildren<QFrame*>(QStringLiteral("pendingRow"))) {
            if (row->property("requestId").toString() == QLatin1String(id)) return row->findChild<QPushButton*>(QStringLiteral("pendingAlwaysAllow"));
        }
        return static_cast<QPushButton*>(nullptr);
    };
    // Layouts settle on posted events, which the test's own clock does not run; the popover's
    // frame fits the view to its rows as they come and go.
    const auto layOut = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        view->resize(view->sizeHint());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    };
    layOut();
    const QPoint aimed = alwaysAllowOf("r-1")->mapTo(view.get(), alwaysAllowOf("r-1")->rect().center());

    screens.daemonWithdraws("r-1");
    layOut();
    auto* under = view->childAt(aimed);
    ASSERT_EQ(under, alwaysAllowOf("r-2")) << "the second row moved into the first one's place: "
                                           << (under ? under->objectName().toStdString() : "nothing");
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(view.get(), aimed));
    screens.settle();
    EXPECT_EQ(screens.answersReceived(), std::vector<std::string>{});

    screens.advance(1.0);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(view.get(), aimed));
    screens.settle();
    EXPECT_EQ(screens.answersReceived(), std::vector{verdictLine("r-2", "always_allow")});
}

}  // namespace
}  // namespace vardex::ui::testing
