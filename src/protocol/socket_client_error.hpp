#pragma once

#include <string>

namespace vardex {

// Failures of the line codec and the socket client; `description` is the shown text.
class SocketClientError {
public:
    enum class Kind {
        unknownFixture,
        connectFailed,
        sendFailed,
        receiveFailed,
        protocolError,
        invalidUTF8,
        emptyLine,
        closed,
        timeout,
        untrustedPeer,
    };

    static SocketClientError unknownFixture(std::string fileName) { return {Kind::unknownFixture, std::move(fileName)}; }
    static SocketClientError connectFailed(std::string detail) { return {Kind::connectFailed, std::move(detail)}; }
    static SocketClientError sendFailed(std::string detail) { return {Kind::sendFailed, std::move(detail)}; }
    static SocketClientError receiveFailed(std::string detail) { return {Kind::receiveFailed, std::move(detail)}; }
    static SocketClientError protocolError(std::string detail) { return {Kind::protocolError, std::move(detail)}; }
    static SocketClientError invalidUTF8() { return {Kind::invalidUTF8, {}}; }
    static SocketClientError emptyLine() { return {Kind::emptyLine, {}}; }
    static SocketClientError closed() { return {Kind::closed, {}}; }
    static SocketClientError timeout() { return {Kind::timeout, {}}; }
    static SocketClientError untrustedPeer(std::string detail) { return {Kind::untrustedPeer, std::move(detail)}; }

    Kind kind() const { return kind_; }
    // The file name or detail of the cases that carry one; empty otherwise.
    const std::string& detail() const { return detail_; }
    std::string description() const;

    friend bool operator==(const SocketClientError&, const SocketClientError&) = default;

private:
    SocketClientError(Kind kind, std::string detail) : kind_(kind), detail_(std::move(detail)) {}

    Kind kind_;
    std::string detail_;
};

}  // namespace vardex
