#include "support/test_daemon.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace vardex::testing {
namespace {

std::runtime_error systemFailure(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

// The "type" member of a JSON line, or empty when the line is not such an object.
std::string typeOf(const std::string& line) {
    const auto tree = nlohmann::json::parse(line, nullptr, false);
    if (!tree.is_object() || !tree.contains("type") || !tree["type"].is_string()) return {};
    return tree["type"].get<std::string>();
}

DaemonScript answerPingWith(std::string reply) {
    return [reply = std::move(reply)](DaemonConnection& connection) {
        while (auto line = connection.readLine()) {
            if (typeOf(*line) == "ping" && !connection.sendLine(reply)) return;
        }
    };
}

}  // namespace

std::optional<std::string> DaemonConnection::readLine() {
    while (true) {
        if (auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            daemon_.record(line);
            return line;
        }
        if (!daemon_.waitReadable(fd_)) return std::nullopt;
        char buffer[4096];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(count));
    }
}

bool DaemonConnection::sendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A client that stops reading must not keep the daemon from being stopped.
            pollfd watched[2] = {{fd_, POLLOUT, 0}, {daemon_.stopRead_, POLLIN, 0}};
            if (::poll(watched, 2, -1) < 0 && errno != EINTR) return false;
            if (watched[1].revents != 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

void DaemonConnection::drainUntilClosed() {
    while (readLine()) {
    }
}

void DaemonConnection::ignoreUntilStopped() {
    pollfd stop{daemon_.stopRead_, POLLIN, 0};
    while (::poll(&stop, 1, -1) < 0 && errno == EINTR) {
    }
}

TestDaemon::TestDaemon(std::filesystem::path socketPath, DaemonScript script)
    : socketPath_(std::move(socketPath)), script_(std::move(script)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socketPath_.string();
    if (path.size() >= sizeof address.sun_path) throw std::runtime_error("socket path too long to bind: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    int stop[2];
    if (::pipe2(stop, O_CLOEXEC) != 0) throw systemFailure("pipe2");
    stopRead_ = stop[0];
    stopWrite_ = stop[1];

    ::unlink(path.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) throw systemFailure("socket");
    if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw systemFailure("bind " + path);
    }
    if (::listen(listenFd_, 16) != 0) throw systemFailure("listen");
    thread_ = std::thread([this] { serve(); });
}

TestDaemon::~TestDaemon() {
    const char wake = 1;
    (void)!::write(stopWrite_, &wake, 1);
    if (thread_.joinable()) thread_.join();
    for (int fd : {listenFd_, stopRead_, stopWrite_}) {
        if (fd >= 0) ::close(fd);
    }
    ::unlink(socketPath_.c_str());
}

void TestDaemon::serve() {
    while (waitReadable(listenFd_)) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        {
            std::lock_guard lock(mutex_);
            ++accepted_;
        }
        changed_.notify_all();
        DaemonConnection connection(*this, fd);
        script_(connection);
        ::close(fd);
    }
}

bool TestDaemon::waitReadable(int fd) const {
    pollfd watched[2] = {{fd, POLLIN, 0}, {stopRead_, POLLIN, 0}};
    while (::poll(watched, 2, -1) < 0) {
        if (errno != EINTR) return false;
    }
    return watched[1].revents == 0;
}

void TestDaemon::record(std::string line) {
    {
        std::lock_guard lock(mutex_);
        received_.push_back(std::move(line));
    }
    changed_.notify_all();
}

std::vector<std::string> TestDaemon::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

bool TestDaemon::waitForReceived(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return received_.size() >= count; });
}

int TestDaemon::connectionsAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

namespace scripts {

DaemonScript answerPing() { return answerPingWith(R"({"type":"ping"})"); }

DaemonScript answerPingWithHello() { return answerPingWith(R"({"role":"client","type":"hello","version":1})"); }

DaemonScript silent() {
    return [](DaemonConnection& connection) { connection.drainUntilClosed(); };
}

DaemonScript closeAtOnce() {
    return [](DaemonConnection&) {};
}

DaemonScript sendThenClose(std::string bytes) {
    return [bytes = std::move(bytes)](DaemonConnection& connection) { connection.sendRaw(bytes); };
}

}  // namespace scripts

}  // namespace vardex::testing
