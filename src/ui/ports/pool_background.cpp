#include "ui/ports/pool_background.hpp"

namespace vardex::ui {

PoolBackground::PoolBackground() {
    // Engine runs mostly wait on a child process; a few threads keep a slow health check from
    // holding back a button's run even on a two-core machine.
    pool_.setMaxThreadCount(4);
    pool_.setExpiryTimeout(30'000);
}

PoolBackground::~PoolBackground() { pool_.waitForDone(); }

void PoolBackground::run(WorkPriority priority, Task task) {
    pool_.start(std::move(task), priority == WorkPriority::userInitiated ? 1 : 0);
}

}  // namespace vardex::ui
