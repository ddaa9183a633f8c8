#include "protocol/line_codec.hpp"

#include "protocol/protocol_json.hpp"

namespace vardex {

Result<std::string, WireError> encodeLine(const IpcMessage& message) {
    auto encoded = ProtocolJSON::encode(message);
    if (!encoded) return encoded;
    std::string line = std::move(encoded).value();
    line.push_back('\n');
    return line;
}

Result<IpcMessage, WireError> decodeLine(std::string_view line) {
    auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
    while (!line.empty() && isBreak(line.front())) line.remove_prefix(1);
    while (!line.empty() && isBreak(line.back())) line.remove_suffix(1);
    if (line.empty()) return fail(WireError(SocketClientError::emptyLine()));
    return ProtocolJSON::decode<IpcMessage>(line);
}

}  // namespace vardex
