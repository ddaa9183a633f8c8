// The popover against a real store and a scripted daemon: what each control sends to the
// daemon, and what it leaves in the store.
#include <map>
#include <ostream>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFrame>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "store/vardex_store.hpp"
#include "ui/support/connected_store.hpp"
#include "support/fake_engine_store.hpp"
#include "ui/screens/popover/popover_view.hpp"

namespace vardex::ui {
namespace {

using testing::ConnectedStore;
using testing::sudoRequest;
using testing::verdictLine;

struct PopoverCase {
    const char* name;
    Severity severity;
    double secondsBeforeClick;  // after the row appeared
    const char* button;         // object name of what the user clicks
    bool confirms;              // then confirms in the bar that came up
    std::vector<std::string> wantAnswers;
    std::size_t wantWaiting;
    bool wantPaused;
    friend void PrintTo(const PopoverCase& c, std::ostream* out) { *out << c.name; }
};

class PopoverTable : public ::testing::TestWithParam<PopoverCase> {};

TEST_P(PopoverTable, ClickReachesTheDaemonExactly) {
    const auto& c = GetParam();
    ConnectedStore connected;
    PopoverView view(connected.context());
    view.show();
    connected.daemonAsks(sudoRequest("r-1", c.severity));
    connected.advance(c.secondsBeforeClick);

    auto* button = view.findChild<QAbstractButton*>(QString::fromLatin1(c.button));
    ASSERT_NE(button, nullptr);
    if (button->isVisible()) QTest::mouseClick(button, Qt::LeftButton);
    connected.settle();
    if (c.confirms) {
        auto* confirm = view.findChild<QPushButton*>(QStringLiteral("popoverConfirmConfirm"));
        ASSERT_NE(confirm, nullptr);
        ASSERT_TRUE(confirm->isVisible()) << "the step asks first";
        QTest::mouseClick(confirm, Qt::LeftButton);
        connected.settle();
    }

    EXPECT_EQ(connected.answersReceived(), c.wantAnswers);
    EXPECT_EQ(connected.store().pending.size(), c.wantWaiting);
    EXPECT_EQ(connected.store().isPaused(), c.wantPaused);
}

const std::vector<std::string> none;

INSTANTIATE_TEST_SUITE_P(
    Cases, PopoverTable,
    ::testing::Values(
        PopoverCase{"allowThisTime", Severity::high, 1.0, "pendingAllowOnce", false, {verdictLine("r-1", "allow_once")}, 0, false},
        PopoverCase{"alwaysAllow", Severity::high, 1.0, "pendingAlwaysAllow", false, {verdictLine("r-1", "always_allow")}, 0, false},
        PopoverCase{"block", Severity::medium, 1.0, "pendingBlock", false, {verdictLine("r-1", "deny")}, 0, false},
        PopoverCase{"clickInTheArmingSecondAnswersNothing", Severity::high, 0.5, "pendingAllowOnce", false, none, 1, false},
        PopoverCase{"criticalOffersNoAlwaysAllow", Severity::critical, 1.0, "pendingAlwaysAllow", false, none, 1, false},
        PopoverCase{"pauseConfirmedRefusesWhatWaits", Severity::high, 1.0, "popoverPause", true, {verdictLine("r-1", "deny")}, 0, true},
        PopoverCase{"stopRefusesWhatWaits", Severity::high, 0.0, "popoverStop", false, {verdictLine("r-1", "deny")}, 0, false}),
    vardex::testing::caseName);

// A second question does not re-arm the first, and arrives shut itself.
TEST(PopoverRows, EachRowArmsOnItsOwnWhenItIsInserted) {
    ConnectedStore connected;
    PopoverView view(connected.context());
    view.show();
    connected.daemonAsks(sudoRequest("r-1"));
    connected.advance(0.8);
    connected.daemonAsks(sudoRequest("r-2"));
    connected.advance(0.4);

    const auto rows = view.findChildren<QFrame*>(QStringLiteral("pendingRow"));
    ASSERT_EQ(rows.size(), 2);
    std::map<QString, bool> armed;
    for (auto* row : rows) {
        armed[row->property("requestId").toString()] = row->findChild<QPushButton*>(QStringLiteral("pendingBlock"))->isEnabled();
    }
    EXPECT_EQ(armed, (std::map<QString, bool>{{QStringLiteral("r-1"), true}, {QStringLiteral("r-2"), false}}));
}

}  // namespace
}  // namespace vardex::ui
