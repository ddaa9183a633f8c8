#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vardex::testing {

class TestDaemon;

// One accepted connection as the daemon's script sees it. Every wait ends early when the
// daemon is being stopped, so a script never outlives its test.
class DaemonConnection {
public:
    // The next line the peer sent, without its line feed; absent at end of stream or on stop.
    // Each line read is also recorded in the daemon's `received`.
    std::optional<std::string> readLine();
    // Writes the bytes as given (no line feed added); false when the peer has gone.
    bool sendRaw(std::string_view bytes);
    // Writes the text followed by one line feed.
    bool sendLine(std::string_view line) { return sendRaw(std::string(line) + "\n"); }
    // Reads and records lines until the peer closes its end or the daemon stops.
    void drainUntilClosed();
    // Reads nothing and waits for the daemon to stop: a peer that never takes its input.
    void ignoreUntilStopped();

private:
    friend class TestDaemon;
    DaemonConnection(TestDaemon& daemon, int fd) : daemon_(daemon), fd_(fd) {}

    TestDaemon& daemon_;
    int fd_;
    std::string pending_;
};

// What the daemon does with each connection, on its own thread. Returning closes the
// connection; the daemon then waits for the next one.
using DaemonScript = std::function<void(DaemonConnection&)>;

// A daemon listening on a real Unix socket in a thread of the test process. Connections are
// served one after the other with the same script, so a client that reconnects meets the same
// behaviour again.
class TestDaemon {
public:
    TestDaemon(std::filesystem::path socketPath, DaemonScript script);
    TestDaemon(const TestDaemon&) = delete;
    TestDaemon& operator=(const TestDaemon&) = delete;
    // Stops listening, wakes the script, closes the connection and joins the thread.
    ~TestDaemon();

    const std::filesystem::path& socketPath() const { return socketPath_; }

    // Every line read by scripts so far, across connections, in arrival order.
    std::vector<std::string> received() const;
    // Waits until at least `count` lines have arrived; false when `limit` passes first.
    bool waitForReceived(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    int connectionsAccepted() const;

private:
    friend class DaemonConnection;

    void serve();
    void record(std::string line);
    // Waits for `fd` to become readable; false when the daemon is told to stop.
    bool waitReadable(int fd) const;

    std::filesystem::path socketPath_;
    DaemonScript script_;
    int listenFd_ = -1;
    int stopRead_ = -1;
    int stopWrite_ = -1;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> received_;
    int accepted_ = 0;
    std::thread thread_;
};

// Ready-made behaviours for the cases a client must survive.
namespace scripts {

// Answers every ping with a ping, the way the engine does; other lines are only recorded.
DaemonScript answerPing();
// Answers every ping with a client hello instead.
DaemonScript answerPingWithHello();
// Reads and records everything and never answers.
DaemonScript silent();
// Closes each connection as soon as it is accepted.
DaemonScript closeAtOnce();
// Sends the bytes exactly as given, then closes: a line without its final line feed, a
// carriage return in mid-line, an endless line.
DaemonScript sendThenClose(std::string bytes);

}  // namespace scripts

}  // namespace vardex::testing
