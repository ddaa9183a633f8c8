#include <signal.h>

#include <algorithm>
#include <tuple>

#include <nlohmann/json.hpp>

#include "bridge/vardex_paths.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"

namespace vardex::testing {
namespace {

using Daemon = DaemonFixture;

TEST_F(Daemon, AnswersPingsOnAPrivateSocketAndRemovesItOnSigterm) {
    startDaemon();
    const std::filesystem::path socket = VardexPaths::socketPath();
    EXPECT_EQ(std::filesystem::symlink_status(socket).permissions(), std::filesystem::perms{0600});
    EXPECT_EQ(std::filesystem::symlink_status(socket.parent_path()).permissions(), std::filesystem::perms{0700});

    EXPECT_EQ(stopDaemon().exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket)));
}

TEST_F(Daemon, ReplacesAStaleSocketButLeavesALiveDaemonAlone) {
    startDaemon();
    ::kill(daemon->pid(), SIGKILL);  // dies without removing its socket
    daemon->finish();
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(VardexPaths::socketPath())));
    startDaemon();

    const auto second = EngineRun(runs(), {"daemon", "--foreground"}).finish();
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("already running"), std::string::npos) << second.err;
    JsonLinesClient client(VardexPaths::socketPath());
    EXPECT_TRUE(client.connect(2.0) && client.ping());
}

TEST_F(Daemon, DropsAPeerThatSendsGarbageAndServesTheOthers) {
    startDaemon();
    auto ui = subscribeUi();
    JsonLinesClient rogue(VardexPaths::socketPath());
    ASSERT_TRUE(rogue.connect(5.0));
    sendBytes(rogue, "this is not a message\n");
    const auto reply = rogue.receive();
    EXPECT_TRUE(!reply && reply.error().is(SocketClientError::Kind::closed));

    EXPECT_EQ(ask("s1", {"--shell", "ls -la"}).exitCode, 0);
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::allow);
}

// The engine settles this alone: the agent hears the decision, every UI gets the event, and
// the activity log gets the line, without any approver.
TEST_F(Daemon, ASettledActionReachesAgentUiAndLog) {
    startDaemon();
    auto ui = subscribeUi();
    const auto run = ask("session-7", {"--shell", "cd /tmp && rm -rf ~"});
    EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find_first_of(" \n")), "deny") << run.out;

    const auto event = nextEvent(*ui);
    const auto log = audit();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].approver, std::nullopt);
    EXPECT_EQ(event.agent, AgentKind::claude);
    using Seen = std::tuple<Outcome, std::optional<std::string>, std::string, std::optional<std::string>>;
    const Seen expected(Outcome::deny, "destructive.rm_home_root", "session-7", "cd /tmp && rm -rf ~");
    EXPECT_EQ(Seen(event.decision, event.ruleId, event.session, event.actionSummary), expected);
    EXPECT_EQ(Seen(log[0].decision, log[0].ruleId, log[0].session, log[0].actionSummary), expected);
}

// A single answer from the app is the trust table's case; allowing for the session or for good
// have tests of their own below.
TEST_F(Daemon, FirstOfTwoUisWinsAndTheOtherIsTold) {
    startDaemon();
    auto first = subscribeUi();
    auto second = subscribeUi();
    auto agent = startAsk("s1", {"--shell", "sudo whoami"});

    const auto asked = nextRequest(*first);
    EXPECT_EQ(nextRequest(*second), asked);
    EXPECT_EQ(asked.rule, "priv.sudo");
    ASSERT_TRUE(second->respond(asked.id, ApprovalVerdict::deny, "menubar"));
    EXPECT_EQ(next(*first).asResponse(), (ApprovalResponse{asked.id, ApprovalVerdict::deny, "menubar"}));
    // Too late: the question is settled. (Answering only after being told keeps both answers from
    // reaching the daemon in the same poll round, where either could count as the first.)
    ASSERT_TRUE(first->respond(asked.id, ApprovalVerdict::allowOnce, "menubar"));

    EXPECT_EQ(agent->finish().exitCode, 2);
    const auto event = nextEvent(*first);
    EXPECT_EQ(event.decision, Outcome::deny);
    EXPECT_EQ(event.reasonAgent, DecisionEvent::fromApproval(asked, ApprovalVerdict::deny).reasonAgent);
    EXPECT_EQ(nextEvent(*second).decision, Outcome::deny);
    EXPECT_EQ(audit().size(), 1u);
    EXPECT_EQ(audit().at(0).approver, "menubar");
}

// The time-out comes from policy.yaml, written while the daemon runs: it is read again on the
// next evaluation.
TEST_F(Daemon, AnUnansweredAskTimesOutWithThePolicysTimeout) {
    startDaemon();
    writePolicy("version: 1\ndefaults:\n  ask_timeout_seconds: 1\n");
    auto ui = subscribeUi();
    auto agent = startAsk("s1", {"--shell", "sudo whoami"});

    const auto asked = nextRequest(*ui);
    EXPECT_EQ(next(*ui).asResponse(), (ApprovalResponse{asked.id, ApprovalVerdict::deny, "timeout"}));
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::deny);
    EXPECT_EQ(agent->finish().exitCode, 2);
    EXPECT_EQ(audit().size(), 1u);
    EXPECT_EQ(audit().at(0).approver, "timeout");
}

// How a question ended, and the line the activity log keeps for it: a person's answer is logged
// as asked, with who answered and what; a question nobody answered is logged as what the policy
// then decided.
struct SettledCase {
    const char* name;
    std::optional<ApprovalVerdict> answer;  // none: nobody answers before the time-out
    const char* by;                         // who the answer is signed by
    int agentExit;
    const char *decision, *approver;
    std::optional<std::string> verdict;
};

class QuestionSettled : public DaemonFixture, public ::testing::WithParamInterface<SettledCase> {};

TEST_P(QuestionSettled, TheLogSaysWhoDecidedWhat) {
    const auto& c = GetParam();
    startDaemon();
    writePolicy("version: 1\ndefaults:\n  ask_timeout_seconds: 1\n");
    auto ui = subscribeUi();
    auto agent = startAsk("s1", {"--shell", "sudo whoami"});
    const auto asked = nextRequest(*ui);
    if (c.answer) {
        ASSERT_TRUE(ui->respond(asked.id, *c.answer, c.by));
    }
    EXPECT_EQ(agent->finish().exitCode, c.agentExit);

    ASSERT_EQ(auditHolding(1).size(), 1u);
    const auto lines = readLines(VardexPaths::auditLogURL());
    ASSERT_EQ(lines.size(), 1u);
    const auto line = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(std::tuple(line.value("decision", ""), line.value("approver", ""), line.value("rule_id", "")),
              std::tuple(std::string(c.decision), std::string(c.approver), std::string("priv.sudo")));
    EXPECT_EQ(line.contains("verdict") ? std::optional(line["verdict"].get<std::string>()) : std::nullopt, c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Table, QuestionSettled, ::testing::Values(
        SettledCase{"AllowedOnce", ApprovalVerdict::allowOnce, "menubar", 0, "ask", "menubar", "allow_once"},
        SettledCase{"AllowedForTheSession", ApprovalVerdict::allowSession, "menubar", 0, "ask", "menubar", "allow_session"},
        SettledCase{"Refused", ApprovalVerdict::deny, "menubar", 2, "ask", "menubar", "deny"},
        SettledCase{"TheAppsWaitingTimeEnded", ApprovalVerdict::deny, "timeout", 2, "deny", "timeout", std::nullopt},
        SettledCase{"NobodyAnswered", std::nullopt, "", 2, "deny", "timeout", std::nullopt}), byName);

TEST_F(Daemon, AllowForTheSessionCoversThatActionInThatSessionOnly) {
    startDaemon();
    auto ui = subscribeUi();
    const auto env = (home.path() / "app/.env").string();
    auto agent = startAsk("s1", {"--read", env});
    ASSERT_TRUE(ui->respond(nextRequest(*ui).id, ApprovalVerdict::allowSession, "menubar"));
    EXPECT_EQ(agent->finish().exitCode, 0);
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::allow);

    // The same action in the same session: no question, straight to the event.
    EXPECT_EQ(ask("s1", {"--read", env}).exitCode, 0);
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::allow);
    EXPECT_EQ(audit().at(0).approver, "session");
}

TEST_F(Daemon, AlwaysAllowIsKeptAcrossRestartsForThatExactAction) {
    startDaemon();
    auto ui = subscribeUi();
    auto agent = startAsk("s1", {"--shell", "sudo ls"});
    ASSERT_TRUE(ui->respond(nextRequest(*ui).id, ApprovalVerdict::alwaysAllow, "menubar"));
    EXPECT_EQ(agent->finish().exitCode, 0);
    ui.reset();
    EXPECT_EQ(stopDaemon().exitCode, 0);

    startDaemon();
    ui = subscribeUi();
    EXPECT_EQ(ask("s9", {"--shell", "sudo ls"}).exitCode, 0);
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::allow);
    EXPECT_EQ(audit().at(0).approver, "always_allow");
    // Anything else under the same rule still asks.
    auto different = startAsk("s9", {"--shell", "sudo rm /etc/hosts"});
    const auto asked = nextRequest(*ui);
    EXPECT_EQ(asked.rule, "priv.sudo");
    ASSERT_TRUE(ui->respond(asked.id, ApprovalVerdict::deny, "menubar"));
    EXPECT_EQ(different->finish().exitCode, 2);
}

TEST_F(Daemon, AQuestionWhoseAgentGaveUpIsWithdrawn) {
    startDaemon();
    auto ui = subscribeUi();
    auto agent = startAsk("c1", {"--shell", "sudo id"});
    EXPECT_EQ(nextRequest(*ui).agent.sessionId, "c1");
    agent.reset();  // killed while it waits
    const auto withdrawn = next(*ui).asResponse();
    ASSERT_TRUE(withdrawn);
    EXPECT_EQ(withdrawn->by, "agent_gone");
    EXPECT_EQ(nextEvent(*ui).decision, Outcome::deny);
}

// The daemon and `check` append to the same log from different processes at the same time;
// the chain must come out whole.
TEST_F(Daemon, DaemonAndCheckAppendOneUnbrokenChain) {
    startDaemon();
    std::vector<std::unique_ptr<EngineRun>> started;
    for (int i = 0; i < 6; ++i) {
        started.push_back(startAsk("agent-" + std::to_string(i), {"--shell", "ls -la"}));
        started.push_back(std::make_unique<EngineRun>(runs(), std::vector<std::string>{"check", "--json", "--shell", "ls"}));
    }
    for (auto& run : started) EXPECT_EQ(run->finish().exitCode, 0);

    const auto log = auditHolding(12);
    EXPECT_EQ(EngineRun(runs(), {"log", "verify"}).finish().exitCode, 0);
    EXPECT_EQ(log.size(), 12u);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const auto& entry) { return entry.session == "check"; }), 6);
}

TEST_F(Daemon, AskFailsClearlyWhenNoDaemonRuns) {
    const auto run = ask("s1", {"--shell", "ls"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Turn protection on"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace vardex::testing
