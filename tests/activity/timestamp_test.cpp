#include <gtest/gtest.h>

#include "activity/timestamp.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

using namespace std::chrono;

// No unixMillis: the text has no time.
struct Reading { const char *name, *text; std::optional<long long> unixMillis; };

class TimestampReading : public ::testing::TestWithParam<Reading> {};

TEST_P(TimestampReading, ReadsOnlyInternetDateTimes) {
    const auto read = readTimestamp(GetParam().text);
    const auto millis = read ? std::optional(duration_cast<milliseconds>(read->time_since_epoch()).count()) : std::nullopt;
    EXPECT_EQ(millis, GetParam().unixMillis);
}

INSTANTIATE_TEST_SUITE_P(Forms, TimestampReading, ::testing::Values(
        Reading{"Millis", "2025-03-01T09:15:02.123Z", 1740820502123},
        Reading{"FractionBeyondMillisIsCut", "2025-03-01T09:15:02.1234567Z", 1740820502123},
        Reading{"EastOfUtc", "2025-03-01T18:15:02+09:00", 1740820502000},
        Reading{"WestOfUtcWithFraction", "2025-03-01T04:15:02.5-05:00", 1740820502500},
        Reading{"LeapDay", "2024-02-29T00:00:00Z", 1709164800000}, Reading{"Epoch", "1970-01-01T00:00:00Z", 0},
        Reading{"NoSeconds", "2025-03-01T09:15Z", std::nullopt}, Reading{"NoZone", "2025-03-01T09:15:02", std::nullopt},
        Reading{"EmptyFraction", "2025-03-01T09:15:02.Z", std::nullopt},
        Reading{"OffsetWithoutColon", "2025-03-01T09:15:02+0900", std::nullopt},
        Reading{"NoLeapDay", "2025-02-29T00:00:00Z", std::nullopt}, Reading{"Hour24", "2025-03-01T24:00:00Z", std::nullopt},
        Reading{"TrailingText", "2025-03-01T09:15:02Zjunk", std::nullopt},
        Reading{"Year9999", "9999-12-31T23:59:59Z", std::nullopt}), testing::caseName);

}  // namespace
}  // namespace vardex
