#include "protocol/json_lines_client.hpp"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>

#include "protocol/line_codec.hpp"
#include "protocol/peer_identity.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

std::string errnoDetail(int code) {
    std::string detail = "errno " + std::to_string(code);
    const std::string message = std::system_category().message(code);
    if (isValidUTF8(message)) detail += " (" + message + ")";
    return detail;
}

bool isTimeout(int code) { return code == EAGAIN || code == EWOULDBLOCK || code == ETIMEDOUT; }

timeval timeoutValue(double seconds) {
    timeval value{};
    if (!(seconds > 0)) return value;
    // Far beyond any real wait, and small enough to convert without overflow.
    constexpr double longest = 1e9;
    const double bounded = std::min(seconds, longest);
    const double whole = std::floor(bounded);
    value.tv_sec = static_cast<time_t>(whole);
    value.tv_usec = static_cast<suseconds_t>((bounded - whole) * 1'000'000);
    return value;
}

void applyTimeouts(int fd, double seconds) {
    const timeval value = timeoutValue(seconds);
    // A socket without time-outs still works, so failures here are not reported.
    (void)setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
    (void)setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value);
}

template <class T>
Result<T, WireError> asWire(Result<T, SocketClientError> result) {
    if (!result) return fail(WireError(result.error()));
    if constexpr (std::is_void_v<T>) {
        return {};
    } else {
        return std::move(result).value();
    }
}

}  // namespace

JsonLinesClient::JsonLinesClient(std::string path) : path_(std::move(path)) {}

JsonLinesClient::~JsonLinesClient() { close(); }

Result<void, SocketClientError> JsonLinesClient::connect(double timeoutSeconds) {
    close();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(SocketClientError::connectFailed("socket(): " + errnoDetail(errno)));
    applyTimeouts(fd, timeoutSeconds);

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // Linux would take a few bytes more, but a path that works here must also be one the
    // daemon can bind on every platform it runs on.
    if (path_.size() > maxPathBytes) {
        ::close(fd);
        return fail(SocketClientError::connectFailed("socket path is too long"));
    }
    std::memcpy(address.sun_path, path_.data(), path_.size());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int code = errno;
        ::close(fd);
        return fail(SocketClientError::connectFailed("connect(" + path_ + "): " + errnoDetail(code)));
    }
    if (engines_) {
        if (auto impostor = untrustedDaemon(fd, *engines_)) {
            ::close(fd);
            return fail(SocketClientError::untrustedPeer(path_ + ": " + *impostor));
        }
    }
    fd_.store(fd);
    return {};
}

void JsonLinesClient::close() {
    std::lock_guard lock(lifetime_);
    const int fd = fd_.exchange(-1);
    if (fd < 0) return;
    // Closing alone would leave a reader on another thread blocked; shutting the socket down
    // first makes its read return at once.
    ::shutdown(fd, SHUT_RDWR);
    if (users_ > 0) {
        shutDown_.push_back(fd);
    } else {
        ::close(fd);
    }
}

int JsonLinesClient::acquire() {
    std::lock_guard lock(lifetime_);
    const int fd = fd_.load();
    if (fd >= 0) ++users_;
    return fd;
}

void JsonLinesClient::release() {
    std::lock_guard lock(lifetime_);
    if (--users_ > 0) return;
    for (const int fd : shutDown_) ::close(fd);
    shutDown_.clear();
}

void JsonLinesClient::setReceiveTimeout(double seconds) {
    const int fd = acquire();
    if (fd < 0) return;
    applyTimeouts(fd, seconds);
    release();
}

Result<void, SocketClientError> JsonLinesClient::writeAll(const std::string& bytes) {
    const int fd = acquire();
    if (fd < 0) return fail(SocketClientError::closed());
    struct Holding {
        JsonLinesClient& client;
        ~Holding() { client.release(); }
    } holding{*this};
    std::size_t written = 0;
    while (written < bytes.size()) {
        // MSG_NOSIGNAL: a daemon that has gone away must show as an error, not end the app.
        const ssize_t count = ::send(fd, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count == 0) {
            return fail(SocketClientError::closed());
        } else if (errno == EINTR) {
            continue;
        } else if (isTimeout(errno)) {
            return fail(SocketClientError::timeout());
        } else {
            return fail(SocketClientError::sendFailed(errnoDetail(errno)));
        }
    }
    return {};
}

Result<std::string, SocketClientError> JsonLinesClient::readLine() {
    const int fd = acquire();
    if (fd < 0) return fail(SocketClientError::closed());
    struct Holding {
        JsonLinesClient& client;
        ~Holding() { client.release(); }
    } holding{*this};
    std::string line;
    bool sawAnyByte = false;
    while (true) {
        char byte = 0;
        const ssize_t count = ::read(fd, &byte, 1);
        if (count < 0) {
            if (errno == EINTR) continue;
            if (isTimeout(errno)) return fail(SocketClientError::timeout());
            return fail(SocketClientError::receiveFailed(errnoDetail(errno)));
        }
        if (count == 0) {
            if (!sawAnyByte) return fail(SocketClientError::closed());
            break;
        }
        // A carriage return alone is dropped like every other one: followed by the end of the
        // stream it leaves nothing read, which is a closed socket, not an empty line.
        if (byte == '\r') continue;
        sawAnyByte = true;
        if (byte == '\n') break;
        if (line.size() == maxLineBytes) return fail(SocketClientError::protocolError("line too long"));
        line.push_back(byte);
    }
    if (!isValidUTF8(line)) return fail(SocketClientError::invalidUTF8());
    return line;
}

Result<void, WireError> JsonLinesClient::send(const IpcMessage& message) {
    auto line = encodeLine(message);
    if (!line) return fail(line.error());
    return asWire(writeAll(*line));
}

Result<void, WireError> JsonLinesClient::respond(const std::string& id, ApprovalVerdict verdict, const std::string& by) {
    return send(IpcMessage::approvalResponse(ApprovalResponse{id, verdict, by}));
}

Result<IpcMessage, WireError> JsonLinesClient::receive() {
    auto line = readLine();
    if (!line) return fail(WireError(line.error()));
    return decodeLine(*line);
}

Result<void, WireError> JsonLinesClient::handshakeUI() {
    if (auto sent = send(IpcMessage::hello(IpcRole::ui)); !sent) return sent;
    if (auto sent = send(IpcMessage::subscribe()); !sent) return sent;
    setReceiveTimeout(0);
    return {};
}

Result<void, WireError> JsonLinesClient::ping() {
    if (auto sent = send(IpcMessage::hello(IpcRole::client)); !sent) return sent;
    if (auto sent = send(IpcMessage::ping()); !sent) return sent;
    auto reply = receive();
    if (!reply) return fail(reply.error());
    if (!reply->is<IpcMessage::Ping>()) {
        return fail(WireError(SocketClientError::protocolError("unexpected ping reply")));
    }
    return {};
}

}  // namespace vardex
