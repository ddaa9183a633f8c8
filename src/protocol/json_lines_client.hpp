#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "protocol/approval.hpp"
#include "protocol/ipc_message.hpp"
#include "protocol/socket_client_error.hpp"
#include "protocol/wire_error.hpp"

namespace vardex {

// One connection to the daemon's Unix socket, carrying one JSON message per line. Calls block;
// the time-outs given to `connect` bound every read and write until `handshakeUI` or
// `setReceiveTimeout` changes them. A failed read or write leaves the socket open: the caller
// drops the client and connects a new one.
//
// One thread may wait in `receive` while another writes with `send` or `respond`: reads and
// writes use the two directions of the socket. Writes must come from one thread at a time.
class JsonLinesClient {
public:
    // A line that has run this long without a line feed is refused rather than kept growing.
    static constexpr std::size_t maxLineBytes = 1024 * 1024;
    // The longest socket path, in bytes, that every platform's address record can hold.
    static constexpr std::size_t maxPathBytes = 103;

    explicit JsonLinesClient(std::string path);
    JsonLinesClient(const JsonLinesClient&) = delete;
    JsonLinesClient& operator=(const JsonLinesClient&) = delete;
    ~JsonLinesClient();

    const std::string& path() const { return path_; }
    int fd() const { return fd_.load(); }
    bool isConnected() const { return fd() >= 0; }

    // From the next `connect` on, a connection counts only when the process listening at the
    // other end runs as this user and runs one of `engines`; any other is closed at once with
    // `untrustedPeer`. Whoever can replace the socket file must not be taken for the daemon.
    void requireDaemon(std::vector<std::filesystem::path> engines) { engines_ = std::move(engines); }

    // Closes any earlier connection first. Zero or less means no time-out.
    Result<void, SocketClientError> connect(double timeoutSeconds);
    // Also wakes a thread blocked in `receive`, which then fails with `closed`. The descriptor
    // itself is released only once no call on another thread is using it, so its number is
    // never reused under a read or write still in progress.
    void close();

    Result<void, WireError> send(const IpcMessage& message);
    Result<void, WireError> respond(const std::string& id, ApprovalVerdict verdict, const std::string& by);
    Result<IpcMessage, WireError> receive();
    // Says hello as the "ui" role and subscribes, then switches the time-outs off: from here
    // on a silent daemon is simply waited for.
    Result<void, WireError> handshakeUI();
    // Says hello as a "client" and pings; only a ping in reply counts as success.
    Result<void, WireError> ping();
    // Sets both time-outs of a connected socket; does nothing when not connected.
    void setReceiveTimeout(double seconds);

    // One line without its line feed, carriage returns dropped, read a byte at a time so
    // nothing of the next line is taken from the socket.
    Result<std::string, SocketClientError> readLine();

private:
    Result<void, SocketClientError> writeAll(const std::string& bytes);
    // The connected descriptor, held for one call until `release`; -1 (not held) when closed.
    int acquire();
    void release();

    std::string path_;
    std::optional<std::vector<std::filesystem::path>> engines_;
    std::atomic<int> fd_{-1};
    std::mutex lifetime_;
    int users_ = 0;
    // Descriptors shut down while in use; the last user to let go closes them.
    std::vector<int> shutDown_;
};

}  // namespace vardex
