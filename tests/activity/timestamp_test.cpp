#include <gtest/gtest.h>

#include "activity/timestamp.hpp"

namespace vardex {
namespace {

using namespace std::chrono;

struct Reading {
    const char* text;
    std::optional<long long> unixMillis;  // nothing: the text has no time
};

class TimestampReading : public ::testing::TestWithParam<Reading> {};

TEST_P(TimestampReading, ReadsOnlyInternetDateTimes) {
    auto read = readTimestamp(GetParam().text);
    if (!GetParam().unixMillis) {
        EXPECT_FALSE(read) << GetParam().text;
        return;
    }
    ASSERT_TRUE(read) << GetParam().text;
    EXPECT_EQ(duration_cast<milliseconds>(read->time_since_epoch()).count(),
              *GetParam().unixMillis);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TimestampReading,
    ::testing::Values(
        Reading{"2025-03-01T09:15:02Z", 1740820502000},
        Reading{"2025-03-01T09:15:02.123Z", 1740820502123},
        Reading{"2025-03-01T09:15:02.1234567Z", 1740820502123},
        Reading{"2025-03-01T18:15:02+09:00", 1740820502000},
        Reading{"2025-03-01T04:15:02.5-05:00", 1740820502500},
        Reading{"2024-02-29T00:00:00Z", 1709164800000},
        Reading{"1970-01-01T00:00:00Z", 0},
        Reading{"2025-03-01", std::nullopt},
        Reading{"2025-03-01T09:15Z", std::nullopt},
        Reading{"2025-03-01T09:15:02", std::nullopt},
        Reading{"2025-03-01 09:15:02Z", std::nullopt},
        Reading{"2025-03-01T09:15:02.Z", std::nullopt},
        Reading{"2025-03-01T09:15:02+0900", std::nullopt},
        Reading{"2025-02-29T00:00:00Z", std::nullopt},
        Reading{"2025-13-01T00:00:00Z", std::nullopt},
        Reading{"2025-03-01T24:00:00Z", std::nullopt},
        Reading{"2025-03-01T09:15:02Zjunk", std::nullopt},
        Reading{" 2025-03-01T09:15:02Z", std::nullopt},
        Reading{"9999-12-31T23:59:59Z", std::nullopt},
        Reading{"", std::nullopt}));

}  // namespace
}  // namespace vardex
