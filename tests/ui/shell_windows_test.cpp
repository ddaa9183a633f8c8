// When the shell brings the approval window up: at the popover's showing with a question
// waiting, and whenever the waiting list goes from empty to not empty.
#include <ostream>

#include <gtest/gtest.h>

#include <QWidget>

#include "store/vardex_store.hpp"
#include "ui/support/connected_store.hpp"
#include "support/fake_engine_store.hpp"
#include "ui/app/approval_opener.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace vardex::ui {
namespace {

using testing::ConnectedStore;
using testing::sudoRequest;

struct ShowCase {
    const char* name;
    int waitingBeforeShow;
    std::vector<std::string> wantOpened;
    friend void PrintTo(const ShowCase& c, std::ostream* out) { *out << c.name; }
};

class PopoverShowing : public ::testing::TestWithParam<ShowCase> {};

TEST_P(PopoverShowing, OpensTheApprovalWindowOnlyWithAQuestionWaiting) {
    const auto& c = GetParam();
    ConnectedStore connected;
    for (int i = 0; i < c.waitingBeforeShow; ++i) connected.daemonAsks(sudoRequest("r-" + std::to_string(i)));
    connected.harness.windows.opened.clear();
    // Offscreen there is no tray: the popover's content shows at once in its own window.
    MenuBarStatus status(connected.context());
    connected.settle();
    ASSERT_FALSE(status.hasTray());
    EXPECT_TRUE(status.popover()->isVisible());
    EXPECT_GE(status.popover()->width(), 360);
    EXPECT_GE(status.popover()->height(), 220);
    EXPECT_EQ(connected.harness.windows.opened, c.wantOpened);
}

INSTANTIATE_TEST_SUITE_P(Cases, PopoverShowing,
                         ::testing::Values(ShowCase{"noQuestionNoWindow", 0, {}},
                                           ShowCase{"oneQuestionOpensIt", 1, {"approval"}},
                                           ShowCase{"severalQuestionsOpenItOnce", 3, {"approval"}}),
                         vardex::testing::caseName);

TEST(ApprovalOpening, FollowsTheWaitingListFromEmptyToNotEmpty) {
    ConnectedStore connected;
    ApprovalOpener opener(connected.context().watcher);
    auto& opened = connected.harness.windows.opened;

    connected.daemonAsks(sudoRequest("r-1"));
    EXPECT_EQ(opened.size(), 1u);
    connected.daemonAsks(sudoRequest("r-2"));
    EXPECT_EQ(opened.size(), 1u) << "a second question joins the open window";
    for (const auto& ask : std::vector<PendingAsk>(connected.store().pending)) {
        connected.store().answer(ask.request, ApprovalVerdict::deny);
    }
    connected.settle();
    connected.daemonAsks(sudoRequest("r-3"));
    EXPECT_EQ(opened, (std::vector<std::string>{"approval", "approval"}));
}

}  // namespace
}  // namespace vardex::ui
