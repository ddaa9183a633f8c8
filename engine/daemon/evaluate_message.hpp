#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/wire_error.hpp"

namespace vardex::engine {

// The one message of the socket that only agents send: {"type":"evaluate","action":{...}},
// answered with one "event" line. It never reaches a UI.
inline constexpr std::string_view evaluateType = "evaluate";

// The message as one compact, key-sorted line ending in a line feed.
Result<std::string, WireError> encodeEvaluateLine(const Action& action);

}  // namespace vardex::engine
