#pragma once

#include <functional>

namespace vardex {

enum class WorkPriority { userInitiated, utility };

// Runs blocking work (engine runs, service start, file scans) off the main thread. The work
// brings its results back with `MainQueue::post`.
class Background {
public:
    using Task = std::function<void()>;

    virtual ~Background() = default;
    virtual void run(WorkPriority priority, Task task) = 0;
};

}  // namespace vardex
