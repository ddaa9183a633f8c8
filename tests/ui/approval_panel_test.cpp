// The approval panel against a real store and a scripted daemon: which input answers, which
// answers nothing, and the exact verdict line that reaches the daemon.
#include <functional>

#include <ostream>

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "store/vardex_store.hpp"
#include "ui/support/connected_store.hpp"
#include "support/fake_engine_store.hpp"
#include "ui/screens/approval/approval_panel.hpp"

namespace vardex::ui {
namespace {

using testing::ConnectedStore;
using testing::sudoRequest;
using testing::verdictLine;

using Input = std::function<void(ApprovalPanel&)>;

Input click(const char* name) {
    return [name](ApprovalPanel& panel) {
        QTest::mouseClick(panel.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    };
}
Input key(Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [pressed, modifiers](ApprovalPanel& panel) { QTest::keyClick(&panel, pressed, modifiers); };
}
// What a person typing into another window sends when the panel takes the focus.
Input typing() {
    return [](ApprovalPanel& panel) {
        QWidget* target = panel.focusWidget() ? panel.focusWidget() : &panel;
        QTest::keyClicks(target, QStringLiteral("yes a"));
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Space);
    };
}

struct PanelCase {
    const char* name;
    int questions;              // waiting when the panel comes up, oldest first
    double secondsBeforeInput;  // after the panel appeared
    Input input;
    std::vector<std::string> wantAnswers;
    bool wantVisible;
    friend void PrintTo(const PanelCase& c, std::ostream* out) { *out << c.name; }
};

class ApprovalPanelTable : public ::testing::TestWithParam<PanelCase> {};

TEST_P(ApprovalPanelTable, InputAnswersOnlyWhenMeantTo) {
    const auto& c = GetParam();
    ConnectedStore connected;
    for (int i = 1; i <= c.questions; ++i) connected.daemonAsks(sudoRequest("r-" + std::to_string(i)));
    ApprovalPanel panel(connected.context());
    panel.show();
    panel.activateWindow();
    connected.settle();
    connected.advance(c.secondsBeforeInput);

    c.input(panel);
    connected.settle();

    EXPECT_EQ(connected.answersReceived(), c.wantAnswers);
    EXPECT_EQ(panel.isVisible(), c.wantVisible);
}

const std::vector<std::string> none;

INSTANTIATE_TEST_SUITE_P(
    Cases, ApprovalPanelTable,
    ::testing::Values(
        PanelCase{"allowAfterArming", 1, 1.0, click("approvalAllow"), {verdictLine("r-1", "allow_once")}, true},
        PanelCase{"dontAllowAfterArming", 1, 1.0, click("approvalDeny"), {verdictLine("r-1", "deny")}, true},
        PanelCase{"altAAllowsThisTime", 1, 1.0, key(Qt::Key_A, Qt::AltModifier), {verdictLine("r-1", "allow_once")}, true},
        PanelCase{"altDDoesNotAllow", 1, 1.0, key(Qt::Key_D, Qt::AltModifier), {verdictLine("r-1", "deny")}, true},
        PanelCase{"oldestAnsweredFirst", 3, 1.0, click("approvalDeny"), {verdictLine("r-1", "deny")}, true},
        PanelCase{"clickWhileArmingAnswersNothing", 1, 0.9, click("approvalAllow"), none, true},
        PanelCase{"altAWhileArmingAnswersNothing", 1, 0.5, key(Qt::Key_A, Qt::AltModifier), none, true},
        PanelCase{"enterHasNoDefaultAnswer", 1, 1.0, key(Qt::Key_Return), none, true},
        PanelCase{"typingAnswersNothing", 1, 1.0, typing(), none, true},
        PanelCase{"escapeClosesWithoutAnswering", 1, 1.0, key(Qt::Key_Escape), none, false}),
    vardex::testing::caseName);

// After one answer the next question comes to the top shut, so a double press answers one.
TEST(ApprovalPanelQueue, TheNextQuestionArmsAgain) {
    ConnectedStore connected;
    connected.daemonAsks(sudoRequest("r-1"));
    connected.daemonAsks(sudoRequest("r-2", Severity::critical));
    ApprovalPanel panel(connected.context());
    panel.show();
    connected.advance(1.0);
    auto* queueLine = panel.findChild<QLabel*>(QStringLiteral("approvalQueueLine"));
    EXPECT_TRUE(queueLine->isVisible());

    QTest::keyClick(&panel, Qt::Key_A, Qt::AltModifier);
    connected.settle();
    QTest::keyClick(&panel, Qt::Key_A, Qt::AltModifier);
    connected.settle();
    EXPECT_EQ(connected.answersReceived(), std::vector<std::string>{verdictLine("r-1", "allow_once")});
    EXPECT_EQ(panel.findChild<QPlainTextEdit*>(QStringLiteral("approvalSummary"))->toPlainText(), QStringLiteral("sudo ls"));
    EXPECT_FALSE(queueLine->isVisible()) << "one question left";

    connected.advance(1.0);
    QTest::keyClick(&panel, Qt::Key_D, Qt::AltModifier);
    connected.settle();
    EXPECT_EQ(connected.answersReceived(),
              (std::vector<std::string>{verdictLine("r-1", "allow_once"), verdictLine("r-2", "deny")}));
}

}  // namespace
}  // namespace vardex::ui
