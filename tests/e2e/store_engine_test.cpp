#include <future>

#include <gtest/gtest.h>

#include "activity/audit_log_entry.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

// The app's store with the reference engine behind it: protection turned on through the login
// service (the daemon as a direct child), the store's own connection to the daemon, and agents
// acting through `vardex ask`.
class StoreWithEngine : public ::testing::Test {
protected:
    StoreWithEngine() {
        store = &harness.make();
        store->startProtection();
        harness.queue.runPending();
        store->running.set(true);
        store->connectLoop();
    }
    ~StoreWithEngine() override {
        store->stopProtection();
        harness.queue.runPending();
    }

    // Runs `vardex ask` as a claude agent on another thread; the result is its exit status.
    std::future<int> agentRuns(std::string command) {
        return std::async(std::launch::async, [command] {
            const auto result = VardexCli::runBinary(
                VARDEX_ENGINE_EXE, {"ask", "--agent", "claude", "--session", "s-1", "--shell", command});
            return result.ok() ? result.value().exitCode : -1;
        });
    }

    StoreHarness harness;  // first: its temporary HOME clears VARDEX_BIN
    ScopedEnv engine{"VARDEX_BIN", VARDEX_ENGINE_EXE};
    VardexStore* store = nullptr;
};

TEST_F(StoreWithEngine, AQuestionIsAnsweredInTheAppAndTheAgentGoesOn) {
    ASSERT_FALSE(store->setupError) << *store->setupError;
    ASSERT_TRUE(harness.queue.runUntil([&] { return store->connected; }));

    auto agent = agentRuns("sudo ls /root");
    ASSERT_TRUE(harness.queue.runUntil([&] { return !store->pending.empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(store->pending.front().request.agent.sessionId, "s-1");
    EXPECT_EQ(harness.notifier.posted.size(), 1u);

    store->answer(store->pending.front().request, ApprovalVerdict::allowOnce);
    EXPECT_EQ(agent.get(), 0);

    ASSERT_TRUE(harness.queue.runUntil([&] {
        store->refreshAuditFeed();
        return !store->auditEntries.empty();
    }));
    const auto& entry = store->auditEntries.front();
    EXPECT_EQ(entry.decision, Outcome::allow);
    EXPECT_EQ(entry.approver, std::optional<std::string>("menubar"));
    EXPECT_EQ(entry.session, "s-1");

    store->verifyActivityLog();
    ASSERT_TRUE(harness.queue.runUntil([&] { return store->logVerifyMessage.has_value(); }));
    EXPECT_NE(store->logVerifyMessage->find("intact"), std::string::npos) << *store->logVerifyMessage;
}

TEST_F(StoreWithEngine, ADeniedActionNeverAsksAndShowsInTheFeed) {
    ASSERT_TRUE(harness.queue.runUntil([&] { return store->connected; }));

    EXPECT_EQ(agentRuns("cat ~/.ssh/id_rsa").get(), 2);

    ASSERT_TRUE(harness.queue.runUntil([&] { return !store->feed.empty(); }));
    EXPECT_TRUE(store->pending.empty());
    EXPECT_EQ(store->feed.front().decision, Outcome::deny);
    EXPECT_EQ(store->feed.front().ruleId, std::optional<std::string>("secrets.ssh_private_key"));
}

TEST_F(StoreWithEngine, PausingRefusesTheNextQuestionForTheUser) {
    ASSERT_TRUE(harness.queue.runUntil([&] { return store->connected; }));
    store->confirmPauseForOneHour();

    auto agent = agentRuns("sudo ls /root");
    ASSERT_TRUE(harness.queue.runUntil(
        [&] { return agent.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready; },
        std::chrono::seconds(10)));
    EXPECT_EQ(agent.get(), 2);
    EXPECT_TRUE(store->pending.empty());
}

}  // namespace
}  // namespace vardex::testing
