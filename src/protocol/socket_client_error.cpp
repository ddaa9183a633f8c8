#include "protocol/socket_client_error.hpp"

namespace vardex {

std::string SocketClientError::description() const {
    switch (kind_) {
        case Kind::unknownFixture: return "unknown fixture prefix: " + detail_;
        case Kind::connectFailed: return "connect failed: " + detail_;
        case Kind::sendFailed: return "send failed: " + detail_;
        case Kind::receiveFailed: return "receive failed: " + detail_;
        case Kind::protocolError: return "protocol error: " + detail_;
        case Kind::invalidUTF8: return "invalid UTF-8 in JSON line";
        case Kind::emptyLine: return "empty JSON line";
        case Kind::closed: return "socket closed";
        case Kind::timeout: return "socket timed out";
        case Kind::untrustedPeer: return "not the Vardex daemon: " + detail_;
    }
    return {};
}

}  // namespace vardex
