#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "store/main_queue.hpp"

namespace vardex::testing {

// The main queue with a virtual clock: time moves only when the test says so. Posted tasks run
// when the test drains the queue; `advance` runs every timer and delayed task that falls due,
// in time order, with the clock set to each one's due time, draining posted tasks in between.
class ManualQueue final : public MainQueue {
public:
    explicit ManualQueue(TimePoint start = std::chrono::time_point_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now()));

    void post(Task task) override;
    void postAfter(Seconds delay, Task task) override;
    void every(Seconds interval, Task task) override;
    TimePoint now() const override;

    // Runs posted tasks, and those they post, until none is left; returns how many ran.
    int runPending();
    void advance(double seconds);
    // Runs tasks posted from other threads as they arrive (the clock stands still) until `done`
    // holds; false when `limit` of real time passes first.
    template <class Predicate>
    bool runUntil(Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            runPending();
            if (done()) return true;
            if (!waitForPost(deadline)) return done();
        }
    }

private:
    struct Timer {
        TimePoint due;
        long long order;
        Seconds interval;  // zero for a one-off task
        Task task;
    };
    bool waitForPost(std::chrono::steady_clock::time_point deadline);

    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<Task> tasks_;
    std::vector<Timer> timers_;
    TimePoint now_;
    long long nextOrder_ = 0;
};

}  // namespace vardex::testing
