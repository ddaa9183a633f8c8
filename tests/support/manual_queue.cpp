#include "support/manual_queue.hpp"

#include <algorithm>

namespace vardex::testing {

ManualQueue::ManualQueue(TimePoint start) : now_(start) {}

void ManualQueue::post(Task task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
}

void ManualQueue::postAfter(Seconds delay, Task task) {
    std::lock_guard lock(mutex_);
    timers_.push_back({now_ + std::chrono::duration_cast<TimePoint::duration>(delay), nextOrder_++, Seconds(0), std::move(task)});
}

void ManualQueue::every(Seconds interval, Task task) {
    std::lock_guard lock(mutex_);
    timers_.push_back({now_ + std::chrono::duration_cast<TimePoint::duration>(interval), nextOrder_++, interval, std::move(task)});
}

TimePoint ManualQueue::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

int ManualQueue::runPending() {
    int ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            if (tasks_.empty()) return ran;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        ++ran;
    }
}

void ManualQueue::advance(double seconds) {
    runPending();
    const TimePoint end = now() + std::chrono::duration_cast<TimePoint::duration>(Seconds(seconds));
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mutex_);
            const auto next = std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
            if (next == timers_.end() || next->due > end) {
                now_ = end;
                break;
            }
            now_ = next->due;
            if (next->interval == Seconds(0)) {
                task = std::move(next->task);
                timers_.erase(next);
            } else {
                task = next->task;
                next->due += std::chrono::duration_cast<TimePoint::duration>(next->interval);
                next->order = nextOrder_++;
            }
        }
        task();
        runPending();
    }
    runPending();
}

bool ManualQueue::waitForPost(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); });
}

}  // namespace vardex::testing
