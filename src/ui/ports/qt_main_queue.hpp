#pragma once

#include <QObject>

#include "store/main_queue.hpp"

namespace vardex::ui {

// The store's main queue on the GUI thread: posted tasks are queued calls on this object,
// delayed tasks and repeating timers are QTimers it owns, and the clock is the wall clock.
class QtMainQueue final : public QObject, public MainQueue {
    Q_OBJECT
public:
    explicit QtMainQueue(QObject* parent = nullptr);

    void post(Task task) override;
    void postAfter(Seconds delay, Task task) override;
    void every(Seconds interval, Task task) override;
    TimePoint now() const override;
};

}  // namespace vardex::ui
