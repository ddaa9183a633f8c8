#include <gtest/gtest.h>

#include "protocol/protocol_json.hpp"
#include "support/fake_engine_store.hpp"

namespace vardex::testing {
namespace {

constexpr std::string_view denyJSON =
    R"({"outcome":"deny","rule_id":"secrets.ssh","matched_rule_ids":["secrets.ssh"],"severity":"critical","reason_user":"Reading your SSH key.","reason_agent":"blocked","risk_score":0.9})";

Decision deny() { return *ProtocolJSON::decode<Decision>(denyJSON); }

const std::string printsDeny = "echo '" + std::string(denyJSON) + "'\nexit 3\n";

// What a check says about its input and its engine is the check's own (bridge tests); the store
// runs it off the main thread and shows what it said.
TEST_F(FakeEngineStoreTest, ATrialCheckRunsOffTheMainThreadAndPublishesItsOutcome) {
    harness.writeEngine(printsDeny);
    auto& store = harness.make();
    store.checkKind = CheckKind::mcp;
    store.checkShell = "rm -rf /";
    store.checkMcpServer = " files ";
    store.checkMcpTool = "read_file";
    store.checkMcpJSON = R"({"path":"/etc/passwd"})";

    store.runCheck();
    EXPECT_TRUE(store.busy);
    EXPECT_EQ(store.checkOutcome, CheckOutcome{});
    harness.queue.runPending();

    EXPECT_FALSE(store.busy);
    EXPECT_EQ(store.checkOutcome, (CheckOutcome{deny(), 3, std::nullopt}));
    EXPECT_EQ(harness.engineCalls(), std::vector<std::string>{R"(check --json --mcp files read_file {"path":"/etc/passwd"})"});
    EXPECT_EQ(harness.background.priorities, std::vector<WorkPriority>{WorkPriority::userInitiated});
}

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
