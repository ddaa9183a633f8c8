#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "protocol/ipc_message.hpp"
#include "protocol/wire_error.hpp"

namespace vardex {

// The message as one compact, key-sorted JSON line ending in its only line feed.
Result<std::string, WireError> encodeLine(const IpcMessage& message);

// Carriage returns and line feeds are trimmed from both ends; nothing left is `emptyLine`.
Result<IpcMessage, WireError> decodeLine(std::string_view line);

}  // namespace vardex
