#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "bridge/vardex_paths.hpp"
#include "protocol/peer_identity.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"
#include "protocol/line_codec.hpp"

namespace vardex::testing {
namespace {

struct TrustCase {
    const char* name;
    std::vector<std::string> daemonArguments;  // "SELF" stands for this test program, "COPY" for a copy of it
    bool ownSocket;                            // a socket other than the default one
    std::string by;                            // who the UI signs its answer as
    bool uiIsAsked;
    std::string approver;  // in the activity log
    int agentExit;
};

class WhoseAnswersCount : public DaemonFixture, public ::testing::WithParamInterface<TrustCase> {};

// Only the recorded app, as a running process, hears questions and settles them; automation
// answers count only for a daemon started for tests.
TEST_P(WhoseAnswersCount, OnlyTheRecordedAppDecides) {
    const auto& row = GetParam();
    ScopedEnv socket("VARDEX_SOCK", row.ownSocket ? std::optional((home / "t.sock").string()) : std::nullopt);
    const auto copy = (home / "vardex-bar").string();
    std::filesystem::copy_file(testProgram(), copy);
    auto arguments = row.daemonArguments;
    for (auto& argument : arguments) argument = argument == "SELF" ? testProgram() : argument == "COPY" ? copy : argument;
    startDaemon(arguments);
    writePolicy("version: 1\ndefaults:\n  ask_timeout_seconds: 2\n");
    auto ui = subscribeUi();
    auto agent = startAsk("s1", {"--shell", "sudo whoami"});

    if (row.uiIsAsked) {
        ASSERT_TRUE(ui->respond(nextRequest(*ui).id, ApprovalVerdict::allowOnce, row.by));
    } else {
        ui->setReceiveTimeout(1.0);
        EXPECT_FALSE(ui->receive()) << "a program that is not the app heard the question";
    }
    EXPECT_EQ(agent->finish().exitCode, row.agentExit);
    const auto log = auditHolding(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log.at(0).approver, row.approver);
}

INSTANTIATE_TEST_SUITE_P(Table, WhoseAnswersCount, ::testing::Values(
        TrustCase{"recorded_app", {"--app-executable", "SELF"}, false, "menubar", true, "menubar", 0},
        TrustCase{"no_app_recorded", {}, false, "menubar", false, "no_ui", 2},
        TrustCase{"another_program_recorded", {"--app-executable", "/bin/sh"}, false, "menubar", false, "no_ui", 2},
        // A copy of the app is another file: it does not pass for the app.
        TrustCase{"copy_of_the_app", {"--app-executable", "COPY"}, false, "menubar", false, "no_ui", 2},
        TrustCase{"recorded_path_missing", {"--app-executable", "/nonexistent/vardex-bar"}, false, "menubar", false, "no_ui", 2},
        TrustCase{"automation_without_the_test_switch", {"--app-executable", "SELF"}, false, "automation", true, "timeout", 2},
        TrustCase{"automation_on_a_test_daemon", {"--app-executable", "SELF", "--test-approvers"}, true, "automation", true, "automation", 0}), byName);

TEST_F(DaemonFixture, RefusesTestApproversOnTheDefaultSocket) {
    const auto run = EngineRun(runs(), {"daemon", "--foreground", "--test-approvers", "--app-executable", testProgram()}).finish();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("VARDEX_SOCK"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(VardexPaths::socketPath()));
}

// ---- who speaks for the app ----

struct BorrowedConnectionCase {
    const char* name;
    bool appConnects;      // the process that becomes the app connects and speaks first
    const char* approver;  // who settled the question in the end
};

class ABorrowedConnection : public DaemonFixture, public ::testing::WithParamInterface<BorrowedConnectionCase> {
protected:
    void TearDown() override {
        if (app > 0) {
            ::kill(app, SIGKILL);
            ::waitpid(app, nullptr, 0);
        }
        if (fd >= 0) ::close(fd);
        DaemonFixture::TearDown();
    }

    // The next question on the borrowed connection, or nothing within the time.
    std::optional<ApprovalRequest> question(int milliseconds) {
        std::string line;
        for (char c = 0; c != '\n';) {
            pollfd readable{fd, POLLIN, 0};
            if (::poll(&readable, 1, milliseconds) != 1 || ::recv(fd, &c, 1, 0) != 1) return std::nullopt;
            if (c != '\n') line += c;
        }
        auto message = decodeLine(line);
        return message ? message->asRequest() : std::nullopt;
    }

    pid_t app = -1;
    int fd = -1;
};

// A process that is not the app shares a connection with one that is: whatever it writes does
// not count, however the two came by the connection. The daemon is held still while they set
// up, so it only looks at them once the app runs.
TEST_P(ABorrowedConnection, DoesNotLetItsOtherUserAnswer) {
    const auto& row = GetParam();
    const std::string appProgram = "/bin/sleep";
    startDaemon({"--app-executable", appProgram});
    writePolicy("version: 1\ndefaults:\n  ask_timeout_seconds: 1\n");
    ASSERT_EQ(::kill(daemon->pid(), SIGSTOP), 0);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto path = VardexPaths::socketPath();
    std::copy(path.begin(), path.end(), address.sun_path);
    const std::string speakAsApp =
        encodeLine(IpcMessage::hello(IpcRole::ui)).value() + encodeLine(IpcMessage::subscribe()).value();
    fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (!row.appConnects) {
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    app = ::fork();
    ASSERT_GE(app, 0);
    if (app == 0) {
        if (row.appConnects && (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                                ::write(fd, speakAsApp.data(), speakAsApp.size()) < 0)) {
            ::_exit(1);
        }
        ::execl(appProgram.c_str(), "sleep", "60", nullptr);
        ::_exit(1);
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (fileIdentity("/proc/" + std::to_string(app) + "/exe") != fileIdentity(appProgram)) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the child never became the app";
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!row.appConnects) sendBytes(fd, speakAsApp);
    ASSERT_EQ(::kill(daemon->pid(), SIGCONT), 0);

    auto agent = startAsk("s1", {"--shell", "sudo rm -rf /var/lib/important"});
    if (const auto asked = question(row.appConnects ? 5000 : 200)) {
        sendBytes(fd, encodeLine(IpcMessage::approvalResponse({asked->id, ApprovalVerdict::allowOnce, "menubar"})).value());
    }
    EXPECT_EQ(agent->finish().exitCode, 2) << "the agent was let through";
    const auto log = auditHolding(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log.at(0).approver, row.approver);
    const auto err = stopDaemon().err;
    EXPECT_NE(err.find("that the recorded app did not send"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(Table, ABorrowedConnection, ::testing::Values(
        // The app's connection is real and hears the question; the answer comes from its parent.
        BorrowedConnectionCase{"the_app_connects_then_its_parent_answers", true, "timeout"},
        BorrowedConnectionCase{"a_connection_handed_to_the_app", false, "no_ui"}), byName);

// Someone holding the activity log's lock holds up the writing of the log, not the answers.
TEST_F(DaemonFixture, ALockedActivityLogDoesNotHoldUpAnswers) {
    startDaemon();
    const int log = ::open(VardexPaths::auditLogURL().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(log, 0);
    ASSERT_EQ(::flock(log, LOCK_EX), 0);
    EXPECT_EQ(ask("s1", {"--shell", "ls"}).exitCode, 0);
    EXPECT_EQ(ask("s2", {"--shell", "ls -la"}).exitCode, 0) << "the second agent was not answered";
    JsonLinesClient other(VardexPaths::socketPath());
    ASSERT_TRUE(other.connect(5.0));
    other.setReceiveTimeout(10.0);
    EXPECT_TRUE(other.ping());
    ::close(log);
    EXPECT_EQ(auditHolding(2).size(), 2u) << "the decisions are written once the lock is free";
}

// A program that puts its own listener where the daemon's socket was answers "allow" to anyone
// who connects. The daemon is held still meanwhile, so the impostor is surely the one reached.
TEST_F(DaemonFixture, AnImpostorOnTheSocketPathIsNotBelieved) {
    startDaemon();
    auto ui = subscribeUi();
    const auto socketPath = VardexPaths::socketPath();
    const auto impostorPath = (home / "impostor.sock").string();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::copy(impostorPath.begin(), impostorPath.end(), address.sun_path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 16), 0);
    DecisionEvent allowed;
    allowed.decision = Outcome::allow;
    allowed.reasonUser = "Allowed.";
    const auto allowLine = encodeLine(IpcMessage::event(allowed)).value();
    std::thread impostor([&] {
        for (int peer; (peer = ::accept(listener, nullptr, nullptr)) >= 0; ::close(peer)) sendBytes(peer, allowLine);
    });
    ASSERT_EQ(::kill(daemon->pid(), SIGSTOP), 0);
    ASSERT_EQ(::rename(impostorPath.c_str(), socketPath.c_str()), 0);

    const auto asked = ask("s1", {"--shell", "ls"});
    const auto hook = EngineRun(runs(), {"hook", "claude"},
                                R"({"session_id":"s2","cwd":"/tmp","hook_event_name":"PreToolUse","tool_name":"Bash",)"
                                R"("tool_input":{"command":"ls"}})").finish();
    ASSERT_EQ(::kill(daemon->pid(), SIGCONT), 0);
    ::shutdown(listener, SHUT_RDWR);
    impostor.join();
    ::close(listener);

    EXPECT_NE(asked.exitCode, 0);
    EXPECT_NE(asked.err.find("not the Vardex daemon"), std::string::npos) << asked.err;
    EXPECT_NE(hook.out.find(R"("permissionDecision":"deny")"), std::string::npos) << hook.out;
    const auto notice = next(*ui);
    ASSERT_TRUE(notice.is<IpcMessage::Notice>()) << notice.typeName();
    EXPECT_EQ(ask("s3", {"--shell", "ls"}).exitCode, 0) << "the daemon takes its path back";
}

struct NameCase {
    const char* name;
    const char* program;  // the file name of the script, which becomes the process's name
};

class ProcessStart : public ::testing::TestWithParam<NameCase> {};

// The start time sits after the process's name, which may hold spaces and parentheses.
TEST_P(ProcessStart, IsReadPastAnyProcessName) {
    TempFolder folder;
    // Waits on a pipe it holds itself, so it keeps its own name and leaves no child behind.
    const auto script = writeScript(folder / GetParam().program, "mkfifo \"$0.in\" && exec 3<>\"$0.in\" && read x <&3\n");
    const auto before = ticksSinceBoot();
    EngineRun run(folder.path(), script, {}, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto started = processStartTicks(run.pid());
    ASSERT_TRUE(started);
    EXPECT_GE(*started + 1, before);
    EXPECT_LE(*started, ticksSinceBoot());
    EXPECT_LE(processStartTicks(::getpid()).value_or(~0ULL), before);
}

INSTANTIATE_TEST_SUITE_P(Names, ProcessStart, ::testing::Values(NameCase{"spaces", "a b c d e"}, NameCase{"parentheses", "x) 1 2 (y"}), byName);

// ---- limits ----

std::unique_ptr<JsonLinesClient> connectClient() {
    auto client = std::make_unique<JsonLinesClient>(VardexPaths::socketPath());
    EXPECT_TRUE(client->connect(5.0));
    client->setReceiveTimeout(15.0);
    return client;
}

// Closed by the daemon, at once or after a denial; lines it had not read yet may make the end a
// reset rather than a close.
bool closedByDaemon(JsonLinesClient& client, double seconds = 15.0) {
    client.setReceiveTimeout(seconds);
    auto reply = client.receive();
    if (reply) {
        const auto* refusal = std::get_if<IpcMessage::Event>(&reply->payload);
        if (refusal == nullptr || refusal->decision.decision != Outcome::deny) return false;
        reply = client.receive();
    }
    return !reply && (reply.error().is(SocketClientError::Kind::closed) ||
                      reply.error().is(SocketClientError::Kind::receiveFailed));
}

using DaemonLimitsTest = DaemonFixture;

TEST_F(DaemonLimitsTest, SixtyFourConnectionsAtMostAndTheRestAreTurnedAway) {
    startDaemon();
    // Lets the daemon see that the probe of startDaemon has gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::vector<std::unique_ptr<JsonLinesClient>> held;
    for (int i = 0; i < 70; ++i) held.push_back(connectClient());
    int served = 0;
    for (auto& client : held) served += client->ping() ? 1 : 0;
    EXPECT_EQ(served, 64);

    held.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(connectClient()->ping()) << "freed places are given to the next ones";
}

// The limit is ten seconds unless the daemon is told otherwise, as here.
TEST_F(DaemonLimitsTest, AHalfSentLineIsDroppedWhenItsPeerFallsQuiet) {
    startDaemon({"--app-executable", testProgram(), "--idle-seconds", "1"});
    auto slow = connectClient();
    sendBytes(*slow, R"({"type":"pi)");
    sendBytes(*slow, "ng\"}\n");
    EXPECT_TRUE(slow->receive()) << "a line finished in time is read";
    auto idle = connectClient();
    sendBytes(*idle, R"({"type":"pi)");
    EXPECT_TRUE(closedByDaemon(*idle));
    EXPECT_TRUE(connectClient()->ping());
}

TEST_F(DaemonLimitsTest, HoldsSixteenMebibytesOverAllConnections) {
    startDaemon();
    const std::string almostALine = R"({"type":"ping","pad":")" + std::string(1000 * 1000, 'a');
    std::vector<std::unique_ptr<JsonLinesClient>> peers;
    for (int i = 0; i < 20; ++i) {
        peers.push_back(connectClient());
        sendBytes(*peers.back(), almostALine);
    }
    auto probe = connectClient();
    ASSERT_TRUE(probe->ping());
    int dropped = 0;
    for (auto& peer : peers) dropped += closedByDaemon(*peer, 0.2) ? 1 : 0;
    // Sixteen lines of a million bytes fit in 16 MiB, twenty do not.
    EXPECT_GE(dropped, 3);
    EXPECT_LE(dropped, 5);
}

long cpuTicks(pid_t pid) {
    const auto text = readFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
    // After the name come fields 3 to 13, then the user and system time.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skipped;
    long user = 0, kernel = 0;
    for (int number = 3; number <= 13; ++number) fields >> skipped;
    fields >> user >> kernel;
    return user + kernel;
}

// With every descriptor in use the daemon waits before accepting again instead of waking at
// once, over and over, and says so once rather than filling its log.
TEST_F(DaemonLimitsTest, RunningOutOfDescriptorsBacksOff) {
    waitForDaemon(std::make_unique<EngineRun>(
        runs(), "/bin/sh",
        std::vector<std::string>{"-c", "ulimit -n 24 && exec \"$0\" daemon --foreground --app-executable \"$1\"",
                                 VARDEX_ENGINE_EXE, testProgram()},
        ""));
    std::vector<std::unique_ptr<JsonLinesClient>> peers;
    for (int i = 0; i < 40; ++i) peers.push_back(connectClient());
    const long before = cpuTicks(daemon->pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(cpuTicks(daemon->pid()) - before, 50) << "clock ticks of CPU in one second; a spinning loop takes 100";

    peers.clear();
    // Waits in the backlog until the pause is over.
    EXPECT_TRUE(connectClient()->ping()) << "accepting resumes once descriptors are free";
    const auto err = stopDaemon().err;
    std::size_t complaints = 0;
    for (auto at = err.find("no descriptor left"); at != std::string::npos; at = err.find("no descriptor left", at + 1)) ++complaints;
    EXPECT_GE(complaints, 1u);
    EXPECT_LE(complaints, 10u) << err;
}

}  // namespace
}  // namespace vardex::testing
