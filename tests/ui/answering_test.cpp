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

using Input = std::function<void(ApprovalPanel&)>;

Input click(const char* name) {
    return [name](ApprovalPanel& panel) { QTest::mouseClick(child<QPushButton>(panel, name), Qt::LeftButton); };
}
Input key(Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [pressed, modifiers](ApprovalPanel& panel) { QTest::keyClick(&panel, pressed, modifiers); };
}
// What a person typing into another window sends when the panel takes the focus.
void typing(ApprovalPanel& panel) {
    QWidget* target = panel.focusWidget() ? panel.focusWidget() : &panel;
    QTest::keyClicks(target, QStringLiteral("yes a"));
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Space);
}

struct PanelCase {
    const char* name;
    double secondsBeforeInput;  // after the panel appeared
    Input input;
    const char* wantVerdict;  // empty: nothing is answered
    bool wantVisible = true;
};

class ApprovalPanelTable : public ::testing::TestWithParam<PanelCase> {};

TEST_P(ApprovalPanelTable, InputAnswersOnlyWhenMeantTo) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    ApprovalPanel panel(screens.context());
    panel.show();
    panel.activateWindow();
    screens.settle();
    screens.advance(c.secondsBeforeInput);

    c.input(panel);
    screens.settle();

    const auto want = *c.wantVerdict ? std::vector{verdictLine("r-1", c.wantVerdict)} : std::vector<std::string>{};
    EXPECT_EQ(screens.answersReceived(), want);
    EXPECT_EQ(panel.isVisible(), c.wantVisible);
}

INSTANTIATE_TEST_SUITE_P(Cases, ApprovalPanelTable,
                         ::testing::Values(PanelCase{"allowAfterArming", 1.0, click("approvalAllow"), "allow_once"},
                                           PanelCase{"dontAllowAfterArming", 1.0, click("approvalDeny"), "deny"},
                                           PanelCase{"altAAllowsThisTime", 1.0, key(Qt::Key_A, Qt::AltModifier), "allow_once"},
                                           PanelCase{"altDDoesNotAllow", 1.0, key(Qt::Key_D, Qt::AltModifier), "deny"},
                                           PanelCase{"clickWhileArmingAnswersNothing", 0.9, click("approvalAllow"), ""},
                                           PanelCase{"altAWhileArmingAnswersNothing", 0.5, key(Qt::Key_A, Qt::AltModifier), ""},
                                           PanelCase{"enterHasNoDefaultAnswer", 1.0, key(Qt::Key_Return), ""},
                                           PanelCase{"typingAnswersNothing", 1.0, typing, ""},
                                           PanelCase{"escapeClosesWithoutAnswering", 1.0, key(Qt::Key_Escape), "", false}),
                         caseName);

// The oldest question is answered first, and the next comes to the top shut, so a double press
// answers one.
TEST(ApprovalPanelQueue, TheNextQuestionArmsAgain) {
    ScreenHarness screens;
    screens.connect();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.daemonAsks(sudoRequest("r-2", Severity::critical));
    ApprovalPanel panel(screens.context());
    panel.show();
    screens.advance(1.0);
    auto* queueLine = child<QLabel>(panel, "approvalQueueLine");
    EXPECT_TRUE(queueLine->isVisible());

    QTest::keyClick(&panel, Qt::Key_A, Qt::AltModifier);
    screens.settle();
    QTest::keyClick(&panel, Qt::Key_A, Qt::AltModifier);
    screens.settle();
    EXPECT_EQ(screens.answersReceived(), std::vector{verdictLine("r-1", "allow_once")});
    EXPECT_EQ(child<QPlainTextEdit>(panel, "approvalSummary")->toPlainText(), QStringLiteral("sudo ls"));
    EXPECT_FALSE(queueLine->isVisible()) << "one question left";

    screens.advance(1.0);
    QTest::keyClick(&panel, Qt::Key_D, Qt::AltModifier);
    screens.settle();
    EXPECT_EQ(screens.answersReceived(), (std::vector{verdictLine("r-1", "allow_once"), verdictLine("r-2", "deny")}));
}

// ---- popover ----------------------------------------------------------------------------------

struct PopoverCase {
    const char* name;
    Severity severity;
    double secondsBeforeClick;  // after the row appeared
    const char* button;         // object name of what the user clicks
    bool confirms;              // then confirms in the bar that came up
    const char* wantVerdict;    // the one answer the daemon receives; empty: none
    bool wantPaused;
};

class PopoverTable : public ::testing::TestWithParam<PopoverCase> {};

TEST_P(PopoverTable, ClickReachesTheDaemonExactly) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.connect();
    PopoverView view(screens.context());
    view.show();
    screens.daemonAsks(sudoRequest("r-1", c.severity));
    screens.advance(c.secondsBeforeClick);

    auto* button = child<QAbstractButton>(view, c.button);
    ASSERT_NE(button, nullptr);
    if (button->isVisible()) QTest::mouseClick(button, Qt::LeftButton);
    screens.settle();
    if (c.confirms) {
        auto* confirm = child<QPushButton>(view, "popoverConfirmConfirm");
        ASSERT_TRUE(confirm && confirm->isVisible()) << "the step asks first";
        QTest::mouseClick(confirm, Qt::LeftButton);
        screens.settle();
    }

    const bool answered = *c.wantVerdict != '\0';
    EXPECT_EQ(screens.answersReceived(), answered ? std::vector{verdictLine("r-1", c.wantVerdict)} : std::vector<std::string>{});
    EXPECT_EQ(screens.store().pending.size(), answered ? 0U : 1U);
    EXPECT_EQ(screens.store().isPaused(), c.wantPaused);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopoverTable,
    ::testing::Values(PopoverCase{"allowThisTime", Severity::high, 1.0, "pendingAllowOnce", false, "allow_once", false},
                      PopoverCase{"alwaysAllow", Severity::high, 1.0, "pendingAlwaysAllow", false, "always_allow", false},
                      PopoverCase{"block", Severity::medium, 1.0, "pendingBlock", false, "deny", false},
                      PopoverCase{"clickInTheArmingSecondAnswersNothing", Severity::high, 0.5, "pendingAllowOnce", false, "", false},
                      PopoverCase{"criticalOffersNoAlwaysAllow", Severity::critical, 1.0, "pendingAlwaysAllow", false, "", false},
                      PopoverCase{"pauseConfirmedRefusesWhatWaits", Severity::high, 1.0, "popoverPause", true, "deny", true},
                      PopoverCase{"stopRefusesWhatWaits", Severity::high, 0.0, "popoverStop", false, "deny", false}),
    caseName);

// A second question does not re-arm the first, and arrives shut itself.
TEST(PopoverRows, EachRowArmsOnItsOwnWhenItIsInserted) {
    ScreenHarness screens;
    screens.connect();
    PopoverView view(screens.context());
    view.show();
    screens.daemonAsks(sudoRequest("r-1"));
    screens.advance(0.8);
    screens.daemonAsks(sudoRequest("r-2"));
    screens.advance(0.4);

    std::map<QString, bool> armed;
    for (auto* row : view.findChildren<QFrame*>(QStringLiteral("pendingRow"))) {
        armed[row->property("requestId").toString()] = row->findChild<QPushButton*>(QStringLiteral("pendingBlock"))->isEnabled();
    }
    EXPECT_EQ(armed, (std::map<QString, bool>{{QStringLiteral("r-1"), true}, {QStringLiteral("r-2"), false}}));
}

}  // namespace
}  // namespace vardex::ui::testing
