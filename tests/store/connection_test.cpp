// The daemon connection and the road of one approval, with the real connection worker against
// a scripted daemon on a real socket in the temporary HOME. The clock is the ManualQueue's: it
// moves only when a test advances it.
#include <sys/socket.h>

#include <functional>

#include <date/date.h>
#include <gtest/gtest.h>

#include "protocol/line_codec.hpp"
#include "support/daemon_lines.hpp"
#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

using namespace std::chrono_literals;

const std::string helloLine = R"({"role":"ui","type":"hello","version":1})";
const std::string subscribeLine = R"({"type":"subscribe"})";
const std::string pingLine = R"({"type":"ping"})";

ApprovalRequest askFor(std::string id, std::string session = "s-1") {
    ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = "sudo rm -rf /var/log";
    request.rule = "priv.sudo";
    request.severity = Severity::high;
    request.risk = RiskScore::make(0.7).value();
    request.reasonUser = "Runs as administrator.";
    request.agent = AgentContext{AgentKind::codex, std::move(session), "/home/ana/project", false};
    return request;
}

DecisionEvent reportFor(std::string session, std::optional<std::string> summary) {
    DecisionEvent event;
    event.agent = AgentKind::codex;
    event.session = std::move(session);
    event.decision = Outcome::deny;
    event.reasonUser = "Stopped by the engine.";
    event.reasonAgent = "Do not retry.";
    event.actionSummary = std::move(summary);
    return event;
}

std::string wireLine(const IpcMessage& message) {
    auto line = encodeLine(message);
    EXPECT_TRUE(line.ok());
    return line.ok() ? *line : std::string();
}

std::string responseLine(const std::string& id, const std::string& verdict, const std::string& by) {
    return R"({"by":")" + by + R"(","id":")" + id + R"(","type":"approval_response","verdict":")" + verdict + R"("})";
}

std::string eventLogTime(TimePoint when) { return date::format("%FT%TZ", std::chrono::floor<std::chrono::seconds>(when)); }

std::vector<std::string> askNotifications(const RecordingNotifier& notifier) {
    std::vector<std::string> ids;
    for (const auto& content : notifier.posted) {
        if (content.identifier.starts_with("ask-")) ids.push_back(content.identifier);
    }
    return ids;
}

// A store whose connection worker talks to a TestDaemon listening on VARDEX_SOCK.
class DaemonConnectionTest : public ::testing::Test {
public:
    ~DaemonConnectionTest() override {
        lines.close();
        harness.storePointer().reset();
        daemon.reset();
    }

    // Starts the store's connection worker against a daemon running `script`.
    VardexStore& startWith(DaemonScript script) {
        daemon = std::make_unique<TestDaemon>(socketPath, std::move(script));
        auto& store = harness.make();
        store.addObserver([this, &store] {
            if (connectionStates.back() != store.connected) connectionStates.push_back(store.connected);
        });
        store.running.set(true);
        store.connectLoop();
        return store;
    }
    VardexStore& connectTo(DaemonScript script) {
        auto& store = startWith(std::move(script));
        EXPECT_TRUE(harness.queue.runUntil([&] { return store.connected; }));
        return store;
    }
    VardexStore& connectToLines() { return connectTo(lines.script()); }

    void daemonSends(const IpcMessage& message) { lines.push(wireLine(message)); }

    // Runs the main queue until `done` holds, also when what it waits for happens on the
    // daemon's thread rather than in a posted task.
    bool drive(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!harness.queue.runUntil(done, 10ms)) {
            if (std::chrono::steady_clock::now() > deadline) return false;
        }
        return true;
    }

    // The daemon pings and waits for the reply: every message sent before has then been
    // handled, and every line the app wrote before it has arrived.
    void pingRoundTrip() {
        const auto pings = [&] { return std::ranges::count(daemon->received(), pingLine); };
        const auto before = pings();
        daemonSends(IpcMessage::ping());
        ASSERT_TRUE(drive([&] { return pings() > before; }));
    }

    StoreHarness harness;
    std::filesystem::path socketPath = harness.home / "vardex.sock";
    ScopedEnv socketEnv{"VARDEX_SOCK", socketPath.string()};
    DaemonLines lines;
    std::unique_ptr<TestDaemon> daemon;
    // Every change of `connected` the observers were told of, from the initial false.
    std::vector<bool> connectionStates{false};
};

// ---- questions from the daemon ----------------------------------------------------------------
// Answering on screen, the deadline and the pause are driven through the windows and the roads;
// here, what only the connection sees.

// Whatever listens on the socket must run the engine: another program is not talked to, and
// the person is told why the app is not connected.
TEST_F(DaemonConnectionTest, AListenerThatIsNotTheEngineIsNotTalkedTo) {
    harness.options.trustedDaemons = std::vector<std::filesystem::path>{"/bin/sh"};
    auto& store = startWith(lines.script());
    ASSERT_TRUE(drive([&] { return store.daemonUntrusted.has_value(); }));
    EXPECT_NE(store.daemonUntrusted->find("is not the Vardex engine"), std::string::npos) << *store.daemonUntrusted;
    EXPECT_FALSE(store.connected);
    EXPECT_TRUE(daemon->received().empty()) << "the app said something to it";
}

TEST_F(DaemonConnectionTest, WhatTheDaemonSaysAboutItselfIsKept) {
    auto& store = connectToLines();
    daemonSends(IpcMessage::notice("Another program replaced the socket."));
    ASSERT_TRUE(harness.queue.runUntil([&] { return store.daemonNotice.has_value(); }));
    EXPECT_EQ(*store.daemonNotice, "Another program replaced the socket.");
}

TEST_F(DaemonConnectionTest, AQuestionAnsweredElsewhereIsClosedWithoutAVerdict) {
    auto& store = connectToLines();
    const auto request = askFor("req-1");
    daemonSends(IpcMessage::approvalRequest(request));
    ASSERT_TRUE(harness.queue.runUntil([&] { return store.pending.size() == 1; }));
    EXPECT_EQ(store.pending[0], (PendingAsk{request, harness.queue.now() + 30s}));

    daemonSends(IpcMessage::approvalResponse({request.id, ApprovalVerdict::allowSession, "cli"}));
    pingRoundTrip();

    EXPECT_TRUE(store.pending.empty());
    EXPECT_EQ(daemon->received(), (std::vector<std::string>{helloLine, subscribeLine, pingLine}));
    EXPECT_FALSE(std::filesystem::exists(store.logURL));
    EXPECT_TRUE(store.feed.empty());
}

TEST_F(DaemonConnectionTest, ARepeatedRequestIsAskedOnceAndOthersKeepTheirOrder) {
    auto& store = connectToLines();
    daemonSends(IpcMessage::approvalRequest(askFor("req-1")));
    daemonSends(IpcMessage::approvalRequest(askFor("req-1")));
    daemonSends(IpcMessage::approvalRequest(askFor("req-2")));
    pingRoundTrip();

    ASSERT_EQ(store.pending.size(), 2u);
    EXPECT_EQ(store.pending[0].request.id, "req-1");
    EXPECT_EQ(store.pending[1].request.id, "req-2");
    EXPECT_EQ(askNotifications(harness.notifier), (std::vector<std::string>{"ask-req-1", "ask-req-2"}));
}

TEST_F(DaemonConnectionTest, AFailedSendIsLoggedAndTheVerdictStillRecorded) {
    auto& store = connectToLines();
    const auto request = askFor("req-1");
    daemonSends(IpcMessage::approvalRequest(request));
    ASSERT_TRUE(harness.queue.runUntil([&] { return store.pending.size() == 1; }));

    // The connection is gone, but the main queue has not heard of it yet.
    store.client->close();
    store.answer(request, ApprovalVerdict::deny);

    const auto ts = eventLogTime(harness.queue.now());
    EXPECT_EQ(readLines(store.logURL),
              (std::vector<std::string>{
                  R"({"error":"socket closed","event":"respond_failed","id":"req-1","ts":")" + ts + R"("})",
                  R"({"agent":"codex","by":"menubar","event":"decision","id":"req-1","ts":")" + ts + R"(","verdict":"deny"})"}));
    EXPECT_EQ(store.feed, std::vector{DecisionEvent::fromApproval(request, ApprovalVerdict::deny)});
    EXPECT_TRUE(store.pending.empty());
}

// ---- a question's notice lives as long as the question -----------------------------------------

struct Going { const char* name; std::function<void(VardexStore&, StoreHarness&, const ApprovalRequest&)> go; };

class NoticeOfAQuestion : public ::testing::TestWithParam<Going> {};

// However the first question goes, its notice goes with it, and only its notice.
TEST_P(NoticeOfAQuestion, IsWithdrawnWhenTheQuestionGoes) {
    StoreHarness harness;
    auto& store = harness.make();
    const auto first = askFor("req-1", "s-1");
    store.handle(IpcMessage::approvalRequest(first));
    harness.queue.advance(10);
    store.handle(IpcMessage::approvalRequest(askFor("req-2", "s-2")));
    EXPECT_TRUE(harness.notifier.withdrawn.empty());

    GetParam().go(store, harness, first);

    EXPECT_EQ(harness.notifier.withdrawn.front(), "ask-req-1");
    const bool secondWaits = !store.pending.empty();
    EXPECT_EQ(harness.notifier.withdrawn.size(), secondWaits ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, NoticeOfAQuestion,
    ::testing::Values(
        Going{"AnsweredHere", [](VardexStore& store, StoreHarness&, const ApprovalRequest& first) { store.answer(first, ApprovalVerdict::deny); }},
        Going{"AnsweredElsewhere", [](VardexStore& store, StoreHarness&, const ApprovalRequest&) {
                  store.handle(IpcMessage::approvalResponse({"req-1", ApprovalVerdict::allowOnce, "cli"}));
              }},
        Going{"TimedOut", [](VardexStore& store, StoreHarness& harness, const ApprovalRequest&) {
                  harness.queue.advance(21);
                  store.tick();
              }},
        Going{"SettledByTheEngine", [](VardexStore& store, StoreHarness& harness, const ApprovalRequest&) {
                  harness.queue.advance(21);
                  store.handle(IpcMessage::event(reportFor("s-1", std::nullopt)));
              }},
        Going{"RefusedByAPause", [](VardexStore& store, StoreHarness&, const ApprovalRequest&) { store.confirmPauseForOneHour(); }}),
    caseName);

// ---- which engine reports settle an open question ---------------------------------------------

struct Report { const char* name; std::string session; std::optional<std::string> summary; double secondsLater; bool settles; };

class EngineReport : public ::testing::TestWithParam<Report> {};

TEST_P(EngineReport, SettlesAQuestionOfItsSessionOnlyOnceItsTimeIsUp) {
    const Report& report = GetParam();
    StoreHarness harness;
    auto& store = harness.make();
    const auto request = askFor("req-1", "s-1");
    store.handle(IpcMessage::approvalRequest(request));
    harness.queue.advance(report.secondsLater);

    const auto event = reportFor(report.session, report.summary);
    store.handle(IpcMessage::event(event));

    EXPECT_EQ(store.pending.size(), report.settles ? 0u : 1u);
    EXPECT_EQ(store.feed, std::vector<DecisionEvent>{event});
    EXPECT_FALSE(std::filesystem::exists(store.logURL)) << "a settled question is closed silently";
}

INSTANTIATE_TEST_SUITE_P(
    Reports, EngineReport,
    ::testing::Values(Report{"SameSessionNoSummary", "s-1", std::nullopt, 31, true},
                      Report{"SameSessionOtherAction", "s-1", "ls", 31, false},
                      Report{"OtherSession", "s-2", std::nullopt, 31, false},
                      Report{"AtItsDeadline", "s-1", std::nullopt, 30, false}), caseName);

// ---- losing the daemon ----------------------------------------------------------------------

// `bytes` are sent on the first connection after the app's hello and subscribe.
struct Breakage { const char* name; std::string bytes; bool daemonCloses; };

class ConnectionFailure : public DaemonConnectionTest, public ::testing::WithParamInterface<Breakage> {};

TEST_P(ConnectionFailure, DisconnectsKeepsTheQuestionsAndReconnectsASecondLater) {
    const Breakage& failure = GetParam();
    const auto request = askFor("req-1");
    const auto began = std::chrono::steady_clock::now();
    // The script outlives this body (the fixture stops the daemon), so it owns what it uses.
    auto& store = startWith([served = std::make_shared<std::atomic<int>>(0),
                             firstBytes = wireLine(IpcMessage::approvalRequest(request)) + failure.bytes,
                             closes = failure.daemonCloses](DaemonConnection& connection) {
        if ((*served)++ > 0) return connection.drainUntilClosed();
        if (!connection.readLine() || !connection.readLine()) return;
        connection.sendRaw(firstBytes);
        if (!closes) connection.drainUntilClosed();
    });
    ASSERT_TRUE(harness.queue.runUntil([&] { return connectionStates.size() == 3; }));
    EXPECT_FALSE(store.client);
    const auto kept = store.pending;
    ASSERT_EQ(kept.size(), 1u);

    // The daemon takes the new connection once it is done with the old one.
    ASSERT_TRUE(drive([&] { return store.connected && daemon->connectionsAccepted() == 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - began, 950ms) << "retried without waiting";
    EXPECT_EQ(connectionStates, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(store.pending, kept);

    // Verdicts go out on the new connection.
    store.answer(request, ApprovalVerdict::allowSession);
    EXPECT_TRUE(daemon->waitForReceived(5));
    EXPECT_EQ(daemon->received(), (std::vector<std::string>{helloLine, subscribeLine, helloLine, subscribeLine,
                                                             responseLine("req-1", "allow_session", "menubar")}));
}

INSTANTIATE_TEST_SUITE_P(Ways, ConnectionFailure,
                         ::testing::Values(Breakage{"DaemonClosesTheSocket", "", true},
                                           Breakage{"LineThatDoesNotDecode", "{\"type\":\"shout\"}\n", false}), caseName);

TEST_F(DaemonConnectionTest, DestroyingTheStoreEndsAReadOnASilentDaemon) {
    struct Seen {
        std::mutex mutex;
        std::condition_variable changed;
        bool peerClosed = false;
    };
    const auto seen = std::make_shared<Seen>();
    connectTo([seen](DaemonConnection& connection) {
        connection.drainUntilClosed();
        std::lock_guard lock(seen->mutex);
        seen->peerClosed = true;
        seen->changed.notify_all();
    });

    harness.storePointer().reset();

    std::unique_lock lock(seen->mutex);
    EXPECT_TRUE(seen->changed.wait_for(lock, 5s, [&] { return seen->peerClosed; }));
}

}  // namespace
}  // namespace vardex::testing
