#pragma once

#include <chrono>
#include <functional>

#include "activity/timestamp.hpp"

namespace vardex {

using Seconds = std::chrono::duration<double>;

// The main thread's task queue and clock. The store runs only in tasks of this queue; other
// threads hand it work with `post`. Timers and delayed tasks are scheduled from the main thread.
class MainQueue {
public:
    using Task = std::function<void()>;

    virtual ~MainQueue() = default;

    // Any thread; tasks run in the order they were posted.
    virtual void post(Task task) = 0;
    virtual void postAfter(Seconds delay, Task task) = 0;
    // A repeating timer for the life of the queue; the first run is one interval from now.
    virtual void every(Seconds interval, Task task) = 0;
    // The current time as the store sees it.
    virtual TimePoint now() const = 0;
};

}  // namespace vardex
