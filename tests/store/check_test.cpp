#include <gtest/gtest.h>

#include "protocol/protocol_json.hpp"
#include "support/fake_engine_store.hpp"

namespace vardex::testing {
namespace {

constexpr std::string_view denyJSON =
    R"({"outcome":"deny","rule_id":"secrets.ssh","matched_rule_ids":["secrets.ssh"],"severity":"critical","reason_user":"Reading your SSH key.","reason_agent":"blocked","risk_score":0.9})";

Decision deny() { return *ProtocolJSON::decode<Decision>(denyJSON); }

CheckOutcome error(std::string text, std::int32_t exitCode = 0) { return {std::nullopt, exitCode, std::move(text)}; }

struct CheckCase {
    const char* name;
    CheckKind kind;
    std::string shell, read, server, tool, json;
    std::optional<std::string> engine;  // script body; none: no engine installed
    std::vector<std::string> calls;
    CheckOutcome outcome;
};

class TrialCheck : public FakeEngineStoreTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(TrialCheck, RunsTheChosenKindOffTheMainThreadAndPublishesItsOutcome) {
    const auto& c = GetParam();
    if (c.engine) harness.writeEngine(*c.engine);
    auto& store = harness.make();
    store.checkKind = c.kind;
    store.checkShell = c.shell;
    store.checkRead = c.read;
    store.checkMcpServer = c.server;
    store.checkMcpTool = c.tool;
    store.checkMcpJSON = c.json;

    store.runCheck();
    EXPECT_TRUE(store.busy);
    EXPECT_EQ(store.checkOutcome, CheckOutcome{});
    harness.queue.runPending();

    EXPECT_FALSE(store.busy);
    EXPECT_EQ(store.checkOutcome, c.outcome);
    EXPECT_EQ(harness.engineCalls(), c.calls);
    EXPECT_EQ(harness.background.priorities, std::vector<WorkPriority>{WorkPriority::userInitiated});
}

const std::string printsDeny = "echo '" + std::string(denyJSON) + "'\n";

INSTANTIATE_TEST_SUITE_P(
    Kinds, TrialCheck,
    ::testing::Values(
        CheckCase{"emptyCommand", CheckKind::shell, "  \n ", "~/.env", "", "", "{}", printsDeny, {},
                  error("Type a command to test.")},
        CheckCase{"toolWithoutAction", CheckKind::mcp, "", "", "files", " ", "{}", printsDeny, {},
                  error("Type the tool name and details to test.")},
        CheckCase{"commandTrimmed", CheckKind::shell, "  cat ~/.ssh/id_rsa \n", "", "", "", "{}", printsDeny,
                  {"check --json --shell cat ~/.ssh/id_rsa"}, {deny(), 0, std::nullopt}},
        CheckCase{"decisionWithFailingStatus", CheckKind::read, "", " ~/.ssh/id_rsa ", "", "", "{}", printsDeny + "exit 3\n",
                  {"check --json --read ~/.ssh/id_rsa"}, {deny(), 3, std::nullopt}},
        CheckCase{"toolCall", CheckKind::mcp, "rm -rf /", "", " files ", "read_file", R"({"path":"/etc/passwd"})",
                  printsDeny, {R"(check --json --mcp files read_file {"path":"/etc/passwd"})"}, {deny(), 0, std::nullopt}},
        CheckCase{"engineComplains", CheckKind::shell, "ls", "", "", "", "{}", "echo ' policy failed to load ' >&2; exit 1\n",
                  {"check --json --shell ls"}, error("policy failed to load", 1)},
        CheckCase{"silentEngine", CheckKind::shell, "ls", "", "", "", "{}", "exit 0\n", {"check --json --shell ls"},
                  error("No decision was returned.")},
        CheckCase{"noEngine", CheckKind::shell, "ls", "", "", "", "{}", std::nullopt, {},
                  error("Part of Vardex is missing. Please reinstall it from the download.")}),
    caseName);

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
