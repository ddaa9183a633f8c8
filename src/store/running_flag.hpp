#pragma once

#include <mutex>

namespace vardex {

// Set once by `start` and never cleared; the connection worker reads it from its own thread.
class RunningFlag {
public:
    bool value() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    void set(bool value) {
        std::lock_guard lock(mutex_);
        value_ = value;
    }
    // Sets the flag and says whether it was already set, in one step.
    bool testAndSet() {
        std::lock_guard lock(mutex_);
        const bool was = value_;
        value_ = true;
        return was;
    }

private:
    mutable std::mutex mutex_;
    bool value_ = false;
};

}  // namespace vardex
