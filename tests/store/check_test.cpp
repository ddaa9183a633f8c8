#include <gtest/gtest.h>

#include "support/fake_engine_store.hpp"

namespace vardex::testing {
namespace {

// A check run from the page reaching the engine is the check page's test, and what a check says
// about its input is the bridge's; here, two runs that overlap.
using TrialChecks = FakeEngineStoreTest;

TEST_F(TrialChecks, TheLaterFinishingRunStaysAndTheFirstToFinishClearsBusy) {
    harness.writeEngine(R"(case "$4" in
  first) echo '{"outcome":"allow","reason_user":"first","reason_agent":"","risk_score":0,"severity":"info"}' ;;
  second) echo '{"outcome":"ask","reason_user":"second","reason_agent":"","risk_score":0.5,"severity":"medium"}' ;;
esac
)");
    HeldBackground held;
    const auto owned = makeWith(held);
    auto& store = *owned;
    store.checkShell = "first";
    store.runCheck();
    store.checkShell = "second";
    store.runCheck();
    ASSERT_EQ(held.held.size(), 2u);

    held.held[1]();
    harness.queue.runPending();
    EXPECT_FALSE(store.busy);
    ASSERT_TRUE(store.checkOutcome.decision);
    EXPECT_EQ(store.checkOutcome.decision->reasonUser, "second");

    held.held[0]();
    harness.queue.runPending();
    ASSERT_TRUE(store.checkOutcome.decision);
    EXPECT_EQ(store.checkOutcome.decision->reasonUser, "first");
}

}  // namespace
}  // namespace vardex::testing
