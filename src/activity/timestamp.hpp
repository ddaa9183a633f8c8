#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace vardex {

using TimePoint = std::chrono::system_clock::time_point;

// Reads the engine's timestamps: an internet date-time such as 2025-03-01T09:15:02Z or
// 2025-03-01T09:15:02.123+09:00. A date alone, any other shape, an impossible date or a
// moment the clock cannot hold gives nothing.
std::optional<TimePoint> readTimestamp(std::string_view text);

}  // namespace vardex
