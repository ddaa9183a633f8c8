#include "protocol/json_lines_client.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "support/temp_folder.hpp"
#include "support/test_daemon.hpp"

namespace vardex {
namespace {

using testing::DaemonConnection;
using testing::TempFolder;
using testing::TestDaemon;
namespace scripts = testing::scripts;
using namespace std::chrono_literals;

constexpr double shortTimeout = 0.2;
const std::string pingLine = R"({"type":"ping"})";

std::string describe(const WireError& error) { return error.description(); }

class ClientTest : public ::testing::Test {
protected:
    TempFolder root;
    std::string socketPath = (root / "d.sock").string();

    // A client connected to a daemon running `script`.
    std::unique_ptr<JsonLinesClient> connectTo(TestDaemon& daemon, double timeout = shortTimeout) {
        auto client = std::make_unique<JsonLinesClient>(daemon.socketPath().string());
        auto connected = client->connect(timeout);
        EXPECT_TRUE(connected.ok()) << connected.error().description();
        return client;
    }
};

TEST_F(ClientTest, PingIsAnsweredByPing) {
    TestDaemon daemon(socketPath, scripts::answerPing());
    auto client = connectTo(daemon);
    auto pinged = client->ping();
    ASSERT_TRUE(pinged.ok()) << describe(pinged.error());
    EXPECT_EQ(daemon.received(),
              (std::vector<std::string>{R"({"role":"client","type":"hello","version":1})", pingLine}));
}

TEST_F(ClientTest, PingAnsweredByAnythingElseIsAProtocolError) {
    TestDaemon daemon(socketPath, scripts::answerPingWithHello());
    auto pinged = connectTo(daemon)->ping();
    ASSERT_FALSE(pinged.ok());
    EXPECT_EQ(describe(pinged.error()), "protocol error: unexpected ping reply");
}

TEST_F(ClientTest, SilentDaemonMakesPingTimeOut) {
    TestDaemon daemon(socketPath, scripts::silent());
    auto pinged = connectTo(daemon)->ping();
    ASSERT_FALSE(pinged.ok());
    EXPECT_EQ(describe(pinged.error()), "socket timed out");
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

TEST_F(ClientTest, RespondWritesOneVerdictLine) {
    TestDaemon daemon(socketPath, scripts::silent());
    auto client = connectTo(daemon);
    ASSERT_TRUE(client->respond("req-1", ApprovalVerdict::allowOnce, "menubar").ok());
    ASSERT_TRUE(daemon.waitForReceived(1));
    EXPECT_EQ(daemon.received().front(),
              R"({"by":"menubar","id":"req-1","type":"approval_response","verdict":"allow_once"})");
}

// What `receive` makes of the bytes a daemon sends before closing.
struct ReceiveCase {
    const char* name;
    std::string bytes;
    std::optional<IpcMessage> message;  // expected message, or the failure below
    std::string failure;
};

class ReceiveTest : public ClientTest, public ::testing::WithParamInterface<ReceiveCase> {};

TEST_P(ReceiveTest, ReadsOneLine) {
    const auto& c = GetParam();
    TestDaemon daemon(socketPath, scripts::sendThenClose(c.bytes));
    auto client = connectTo(daemon, 5);
    auto received = client->receive();
    if (c.message) {
        ASSERT_TRUE(received.ok()) << describe(received.error());
        EXPECT_EQ(*received, *c.message);
    } else {
        ASSERT_FALSE(received.ok());
        EXPECT_EQ(describe(received.error()), c.failure);
    }
}

std::string paddedPing(std::size_t lineBytes) {
    const std::string head = R"({"pad":")";
    const std::string tail = R"(","type":"ping"})";
    return head + std::string(lineBytes - head.size() - tail.size(), 'x') + tail;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReceiveTest,
    ::testing::Values(
        ReceiveCase{"ClosedAtOnce", "", std::nullopt, "socket closed"},
        ReceiveCase{"NoFinalLineFeed", pingLine, IpcMessage::ping(), ""},
        ReceiveCase{"CarriageReturnMidLine", "{\"type\":\"pi\rng\"}\r\n", IpcMessage::ping(), ""},
        ReceiveCase{"LineFeedAlone", "\n", std::nullopt, "empty JSON line"},
        ReceiveCase{"CarriageReturnsOnly", "\r\r\n", std::nullopt, "empty JSON line"},
        ReceiveCase{"CarriageReturnThenEnd", "\r", std::nullopt, "socket closed"},
        ReceiveCase{"NotUTF8", "{\"type\":\"\xff\"}\n", std::nullopt, "invalid UTF-8 in JSON line"},
        ReceiveCase{"LongestLineAllowed", paddedPing(JsonLinesClient::maxLineBytes) + "\n", IpcMessage::ping(), ""},
        ReceiveCase{"LineTooLong", paddedPing(JsonLinesClient::maxLineBytes + 1) + "\n", std::nullopt,
                    "protocol error: line too long"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(ClientTest, ReadsNothingBeyondItsLine) {
    TestDaemon daemon(socketPath, scripts::sendThenClose(pingLine + "\n" + R"({"role":"ui","type":"hello","version":1})" + "\n"));
    auto client = connectTo(daemon);
    auto first = client->receive();
    auto second = client->receive();
    auto third = client->receive();
    ASSERT_TRUE(first.ok() && second.ok());
    EXPECT_EQ(*first, IpcMessage::ping());
    EXPECT_EQ(*second, IpcMessage::hello(IpcRole::ui));
    ASSERT_FALSE(third.ok());
    EXPECT_TRUE(third.error().is(SocketClientError::Kind::closed));
}

TEST_F(ClientTest, MalformedLineIsADecodingError) {
    TestDaemon daemon(socketPath, scripts::sendThenClose("{\"type\":\"nonsense\"}\n"));
    auto received = connectTo(daemon)->receive();
    ASSERT_FALSE(received.ok());
    EXPECT_NE(received.error().decodingError(), nullptr);
}

TEST_F(ClientTest, WritingToAGoneDaemonIsAnErrorNotASignal) {
    TestDaemon daemon(socketPath, scripts::closeAtOnce());
    auto client = connectTo(daemon);
    ASSERT_FALSE(client->receive().ok());  // the daemon's end is closed now
    auto sent = client->send(IpcMessage::ping());
    ASSERT_FALSE(sent.ok());
    EXPECT_EQ(describe(sent.error()), "send failed: errno 32 (Broken pipe)");
}

TEST_F(ClientTest, OutgoingTextThatIsNotUTF8IsNeverWritten) {
    TestDaemon daemon(socketPath, scripts::silent());
    auto client = connectTo(daemon);
    auto sent = client->respond("req-\xff", ApprovalVerdict::deny, "menubar");
    ASSERT_FALSE(sent.ok());
    EXPECT_TRUE(sent.error().is(SocketClientError::Kind::invalidUTF8));
    ASSERT_TRUE(client->send(IpcMessage::ping()).ok());
    ASSERT_TRUE(daemon.waitForReceived(1));
    EXPECT_EQ(daemon.received(), std::vector<std::string>{pingLine});
}

TEST_F(ClientTest, DaemonDroppingUnreadInputResetsTheRead) {
    // Closing with our line still unread resets the connection instead of ending it cleanly.
    TestDaemon daemon(socketPath, [](DaemonConnection& connection) { connection.waitForInput(); });
    auto client = connectTo(daemon);
    ASSERT_TRUE(client->send(IpcMessage::ping()).ok());
    auto received = client->receive();
    ASSERT_FALSE(received.ok());
    EXPECT_EQ(describe(received.error()), "receive failed: errno 104 (Connection reset by peer)");
}

TEST_F(ClientTest, NoFreeDescriptorIsASocketFailure) {
    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
    // With the limit at the lowest free descriptor number, no new descriptor can be made.
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit tight = original;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    JsonLinesClient client(socketPath);
    auto connected = client.connect(shortTimeout);
    setrlimit(RLIMIT_NOFILE, &original);
    ASSERT_FALSE(connected.ok());
    EXPECT_EQ(connected.error().description(), "connect failed: socket(): errno 24 (Too many open files)");
}

TEST_F(ClientTest, WriteToADaemonThatNeverReadsTimesOut) {
    TestDaemon daemon(socketPath, [](DaemonConnection& connection) { connection.ignoreUntilStopped(); });
    auto client = connectTo(daemon);
    auto sent = client->respond(std::string(8 * 1024 * 1024, 'i'), ApprovalVerdict::deny, "menubar");
    ASSERT_FALSE(sent.ok());
    EXPECT_EQ(describe(sent.error()), "socket timed out");
}

TEST_F(ClientTest, CloseWakesABlockedReceive) {
    TestDaemon daemon(socketPath, scripts::silent());
    auto client = connectTo(daemon, 0);
    auto pending = std::async(std::launch::async, [&] { return client->receive(); });
    std::this_thread::sleep_for(100ms);
    client->close();
    auto received = pending.get();
    ASSERT_FALSE(received.ok());
    EXPECT_TRUE(received.error().is(SocketClientError::Kind::closed));
    EXPECT_FALSE(client->isConnected());
}

// A reader that took the descriptor just before `close` must not go on to read whatever
// reuses its number: here a pipe holding a ping, opened the moment the socket is closed.
TEST_F(ClientTest, AReadRacingCloseNeverReadsTheDescriptorsNextOwner) {
    TestDaemon daemon(socketPath, scripts::silent());
    for (int round = 0; round < 200; ++round) {
        auto client = connectTo(daemon, 0);
        auto pending = std::async(std::launch::async, [&] { return client->receive(); });
        client->close();
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        ASSERT_EQ(::write(ends[1], "{\"type\":\"ping\"}\n", 16), 16);
        auto received = pending.get();
        ::close(ends[0]);
        ::close(ends[1]);
        ASSERT_FALSE(received.ok()) << "round " << round << " read from the pipe";
        EXPECT_TRUE(received.error().is(SocketClientError::Kind::closed));
    }
}

TEST_F(ClientTest, UnconnectedClientReportsClosed) {
    JsonLinesClient client(socketPath);
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(describe(client.send(IpcMessage::ping()).error()), "socket closed");
    EXPECT_EQ(describe(client.receive().error()), "socket closed");
    client.close();
    client.setReceiveTimeout(1);
    EXPECT_EQ(client.fd(), -1);
}

TEST_F(ClientTest, ReconnectingReplacesTheConnection) {
    TestDaemon daemon(socketPath, scripts::answerPing());
    auto client = connectTo(daemon);
    ASSERT_TRUE(client->connect(shortTimeout).ok());
    EXPECT_TRUE(client->ping().ok());
    EXPECT_EQ(daemon.connectionsAccepted(), 2);
}

// A path of `bytes` bytes inside the temporary folder.
std::string pathOfLength(const std::filesystem::path& folder, std::size_t bytes) {
    const std::string prefix = folder.string() + "/";
    return prefix + std::string(bytes - prefix.size(), 's');
}

TEST_F(ClientTest, LongestSocketPathConnects) {
    TestDaemon daemon(pathOfLength(root.path(), 103), scripts::answerPing());
    auto client = connectTo(daemon);
    EXPECT_TRUE(client->ping().ok());
}

TEST_F(ClientTest, OverlongSocketPathFailsBeforeConnecting) {
    const std::string path = pathOfLength(root.path(), 104);
    TestDaemon daemon(path, scripts::answerPing());  // Linux could reach it; the client must not try
    JsonLinesClient client(path);
    auto connected = client.connect(shortTimeout);
    ASSERT_FALSE(connected.ok());
    EXPECT_EQ(connected.error().description(), "connect failed: socket path is too long");
    EXPECT_EQ(daemon.connectionsAccepted(), 0);
    EXPECT_FALSE(client.isConnected());
}

TEST_F(ClientTest, ConnectFailuresNameThePathAndTheReason) {
    testing::writeFile(root / "plain", "not a socket");
    struct {
        std::filesystem::path path;
        std::string reason;
    } const cases[] = {
        {root / "missing.sock", "errno 2 (No such file or directory)"},
        {root / "plain", "errno 111 (Connection refused)"},
    };
    for (const auto& c : cases) {
        JsonLinesClient client(c.path.string());
        auto connected = client.connect(shortTimeout);
        ASSERT_FALSE(connected.ok());
        EXPECT_EQ(connected.error(), SocketClientError::connectFailed("connect(" + c.path.string() + "): " + c.reason));
    }
}

}  // namespace
}  // namespace vardex
