#include <gtest/gtest.h>

#include "support/store_harness.hpp"

namespace vardex::testing {
namespace {

TEST(ManualQueue, RunsDueTimersInTimeOrderWithTheClockAtEachDueTime) {
    ManualQueue queue;
    const auto start = queue.now();
    std::vector<std::pair<std::string, double>> ran;
    auto record = [&](std::string name) {
        return [&, name] { ran.emplace_back(name, Seconds(queue.now() - start).count()); };
    };
    queue.every(Seconds(1.0), record("tick"));
    queue.postAfter(Seconds(2.5), record("once"));
    queue.postAfter(Seconds(0.5), [&] { queue.post(record("posted")); });

    queue.advance(3.0);

    const std::vector<std::pair<std::string, double>> expected{
        {"posted", 0.5}, {"tick", 1.0}, {"tick", 2.0}, {"once", 2.5}, {"tick", 3.0}};
    EXPECT_EQ(ran, expected);
}

}  // namespace
}  // namespace vardex::testing
