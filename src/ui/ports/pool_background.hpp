#pragma once

#include <QThreadPool>

#include "store/background.hpp"

namespace vardex::ui {

// Blocking work on a pool of worker threads. Work the user started goes ahead of routine
// refreshes. The destructor waits for running work (every engine run has a time limit).
class PoolBackground final : public Background {
public:
    PoolBackground();
    ~PoolBackground() override;

    void run(WorkPriority priority, Task task) override;

private:
    QThreadPool pool_;
};

}  // namespace vardex::ui
