#include "protocol/json_lines_client.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "support/case_name.hpp"
#include "support/temp_folder.hpp"
#include "support/test_daemon.hpp"

namespace vardex {
namespace {

using testing::DaemonConnection;
using testing::TestDaemon;
namespace scripts = testing::scripts;
using namespace std::chrono_literals;

// The daemon tests of the reference engine run every message through this client; these are
// the faults a real daemon does not make on purpose.
constexpr double shortTimeout = 0.2;
const std::string pingLine = R"({"type":"ping"})";

std::string describe(const WireError& error) { return error.description(); }

class ClientTest : public ::testing::Test {
protected:
    testing::TempFolder root;
    std::string socketPath = (root / "d.sock").string();

    std::unique_ptr<JsonLinesClient> connectTo(TestDaemon& daemon, double timeout = shortTimeout) {
        auto client = std::make_unique<JsonLinesClient>(daemon.socketPath().string());
        auto connected = client->connect(timeout);
        EXPECT_TRUE(connected.ok()) << connected.error().description();
        return client;
    }
};

// A ping says hello as a client first, whatever the daemon then answers.
TEST_F(ClientTest, PingSucceedsOnlyOnAPingReply) {
    for (const auto& [script, failure] : {std::pair{scripts::answerPing(), ""},
                                          std::pair{scripts::answerPingWithHello(), "protocol error: unexpected ping reply"},
                                          std::pair{scripts::silent(), "socket timed out"}}) {
        TestDaemon daemon(socketPath, script);
        auto pinged = connectTo(daemon)->ping();
        EXPECT_EQ(pinged.ok() ? "" : describe(pinged.error()), failure);
        EXPECT_EQ(daemon.received(), (std::vector<std::string>{R"({"role":"client","type":"hello","version":1})", pingLine}));
    }
}

TEST_F(ClientTest, AfterTheHandshakeASilentDaemonIsWaitedFor) {
    // Quiet for three times the connect time-out, then an event: the handshake must have
    // switched the time-outs off for the read to still be waiting.
    TestDaemon daemon(socketPath, [](DaemonConnection& connection) {
        if (!connection.readLine() || !connection.readLine()) return;
        std::this_thread::sleep_for(600ms);
        connection.sendLine(pingLine);
        connection.drainUntilClosed();
    });
    auto client = connectTo(daemon);
    ASSERT_TRUE(client->handshakeUI().ok());
    auto message = client->receive();
    ASSERT_TRUE(message.ok()) << describe(message.error());
    EXPECT_TRUE(message->is<IpcMessage::Ping>());
    EXPECT_EQ(daemon.received(),
              (std::vector<std::string>{R"({"role":"ui","type":"hello","version":1})", R"({"type":"subscribe"})"}));
}

// What `receive` makes of the bytes a daemon sends before closing; what a whole line decodes
// to is the line codec's business.
struct ReceiveCase { const char* name; std::string bytes, failure; };  // no failure when the line is a ping

class ReceiveTest : public ClientTest, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(ReceiveTest, ReadsOneLine) {
    TestDaemon daemon(socketPath, scripts::sendThenClose(GetParam().bytes));
    auto received = connectTo(daemon, 5)->receive();
    EXPECT_EQ(received.ok() ? "" : describe(received.error()), GetParam().failure);
    EXPECT_TRUE(!received.ok() || *received == IpcMessage::ping());
}

std::string paddedPing(std::size_t lineBytes) {  // 24 bytes of the line are not padding
    return R"({"pad":")" + std::string(lineBytes - 24, 'x') + R"(","type":"ping"})";
}

INSTANTIATE_TEST_SUITE_P(Lines, ReceiveTest, ::testing::Values(
        ReceiveCase{"ClosedAtOnce", "", "socket closed"}, ReceiveCase{"NoFinalLineFeed", pingLine, ""},
        ReceiveCase{"CarriageReturnThenEnd", "\r", "socket closed"},
        ReceiveCase{"LongestLineAllowed", paddedPing(JsonLinesClient::maxLineBytes) + "\n", ""},
        ReceiveCase{"LineTooLong", paddedPing(JsonLinesClient::maxLineBytes + 1) + "\n", "protocol error: line too long"}),
    testing::caseName);

// A gone daemon is an error, not a signal; one that never reads times out; text that is not UTF-8
// is never written.
TEST_F(ClientTest, AWriteFailsWithoutHarm) {
    const testing::DaemonScript neverReads = [](DaemonConnection& connection) { connection.ignoreUntilStopped(); };
    for (const auto& [script, id, failure] :
         {std::tuple{scripts::closeAtOnce(), std::string("r"), "send failed: errno 32 (Broken pipe)"},
          std::tuple{neverReads, std::string(8 * 1024 * 1024, 'i'), "socket timed out"},
          std::tuple{scripts::silent(), std::string("req-\xff"), "invalid UTF-8 in JSON line"}}) {
        TestDaemon daemon(socketPath, script);
        auto client = connectTo(daemon);
        EXPECT_TRUE(id != "r" || !client->receive().ok());  // the daemon's end is closed now
        auto sent = client->respond(id, ApprovalVerdict::deny, "menubar");
        EXPECT_EQ(sent.ok() ? "" : describe(sent.error()), failure);
        EXPECT_TRUE(daemon.received().empty());
    }
}

// `close` wakes a receive blocked on another thread, and a reader that took the descriptor
// just before must not go on to read whatever reuses its number: here a pipe holding a ping,
// opened the moment the socket is closed.
TEST_F(ClientTest, AReadRacingCloseNeverReadsTheDescriptorsNextOwner) {
    TestDaemon daemon(socketPath, scripts::silent());
    for (int round = 0; round < 200; ++round) {
        auto client = connectTo(daemon, 0);
        auto pending = std::async(std::launch::async, [&] { return client->receive(); });
        if (round == 0) std::this_thread::sleep_for(100ms);  // once surely blocked in the read
        client->close();
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], "{\"type\":\"ping\"}\n", 16), 16);
        auto received = pending.get();
        ::close(ends[0]);
        ::close(ends[1]);
        ASSERT_FALSE(received.ok()) << "round " << round << " read from the pipe";
        EXPECT_TRUE(received.error().is(SocketClientError::Kind::closed));
        EXPECT_FALSE(client->isConnected());
    }
}

// A connect failure names the path and the reason. The socket path may take 103 bytes, as on the
// engine's other platform; Linux would reach a longer one, but the client must refuse it before trying.
TEST_F(ClientTest, SocketPathOfAtMost103BytesConnects) {
    JsonLinesClient missing((root / "missing.sock").string());
    EXPECT_EQ(describe(missing.send(IpcMessage::ping()).error()), "socket closed");
    EXPECT_EQ(describe(missing.connect(shortTimeout).error()),
              "connect failed: connect(" + (root / "missing.sock").string() + "): errno 2 (No such file or directory)");
    const std::string prefix = root.path().string() + "/";
    for (const std::size_t bytes : {103, 104}) {
        TestDaemon daemon(prefix + std::string(bytes - prefix.size(), 's'), scripts::answerPing());
        JsonLinesClient client(daemon.socketPath().string());
        auto connected = client.connect(shortTimeout);
        EXPECT_EQ(connected.ok() ? "" : connected.error().description(),
                  bytes == 103 ? "" : "connect failed: socket path is too long");
        EXPECT_TRUE(!connected.ok() || client.ping().ok());
        EXPECT_EQ(daemon.connectionsAccepted(), bytes == 103 ? 1 : 0);
    }
}

}  // namespace
}  // namespace vardex
