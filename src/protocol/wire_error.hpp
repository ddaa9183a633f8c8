#pragma once

#include <string>
#include <variant>

#include "protocol/decoding_error.hpp"
#include "protocol/socket_client_error.hpp"

namespace vardex {

// Any failure of reading or writing a protocol line: the codec's and client's own cases, a
// JSON decoding error passed on unchanged, or an encoding error.
class WireError {
public:
    WireError(SocketClientError e) : error_(std::move(e)) {}
    WireError(DecodingError e) : error_(std::move(e)) {}
    WireError(EncodingError e) : error_(std::move(e)) {}

    const SocketClientError* socketError() const { return std::get_if<SocketClientError>(&error_); }
    const DecodingError* decodingError() const { return std::get_if<DecodingError>(&error_); }
    const EncodingError* encodingError() const { return std::get_if<EncodingError>(&error_); }

    bool is(SocketClientError::Kind kind) const {
        const auto* e = socketError();
        return e != nullptr && e->kind() == kind;
    }

    std::string description() const;

    friend bool operator==(const WireError&, const WireError&) = default;

private:
    std::variant<SocketClientError, DecodingError, EncodingError> error_;
};

}  // namespace vardex
