#include "service/restart_pacing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/case_name.hpp"

namespace vardex {
namespace {

// A daemon whose starts each live for the given seconds, looked after once a second (as the app's
// connection loop does) for `seconds`; the second of each restart. Start to start, the pauses
// are 1, 2, 4 ... 60 seconds.
struct PacingCase {
    const char* name;
    std::vector<int> lifetimes;  // the last one repeats
    int seconds;
    std::vector<int> restarts;
};

class Pacing : public ::testing::TestWithParam<PacingCase> {};

TEST_P(Pacing, RestartsAfterTheRightPauses) {
    const auto& c = GetParam();
    const auto at = [](int second) { return RestartPacing::Clock::time_point{} + std::chrono::seconds(second); };
    RestartPacing pacing;
    pacing.started(at(0));
    std::size_t start = 0;
    int endsAt = c.lifetimes.front();
    std::vector<int> restarts;
    for (int second = 1; second <= c.seconds; ++second) {
        if (second < endsAt || !pacing.mayRestart(at(second))) continue;
        restarts.push_back(second);
        pacing.started(at(second));
        start = std::min(start + 1, c.lifetimes.size() - 1);
        endsAt = second + c.lifetimes[start];
    }
    EXPECT_EQ(restarts, c.restarts);
}

INSTANTIATE_TEST_SUITE_P(Table, Pacing, ::testing::Values(
        // 1 s, doubling, then a minute between tries for as long as it fails.
        PacingCase{"FailsAtEveryStart", {0}, 300, {1, 3, 7, 15, 31, 63, 123, 183, 243}},
        // A daemon that ran for a minute was started well: its next restart waits a second again.
        PacingCase{"RanWellBeforeItEnded", {0, 0, 0, 90, 0}, 200, {1, 3, 7, 97, 99, 103, 111, 127, 159}},
        PacingCase{"EndsAfterAShortRun", {5}, 60, {5, 10, 15, 23, 39}}), testing::caseName);

}  // namespace
}  // namespace vardex
