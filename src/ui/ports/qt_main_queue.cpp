#include "ui/ports/qt_main_queue.hpp"

#include <chrono>

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace vardex::ui {

namespace {

int milliseconds(Seconds delay) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(delay).count();
    return static_cast<int>(ms < 0 ? 0 : ms);
}

}  // namespace

QtMainQueue::QtMainQueue(QObject* parent) : QObject(parent) {}

void QtMainQueue::post(Task task) {
    // A queued call keeps the posting order, from the GUI thread and from any other.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QtMainQueue::postAfter(Seconds delay, Task task) {
    if (QThread::currentThread() != thread()) {
        post([this, delay, task = std::move(task)]() mutable { postAfter(delay, std::move(task)); });
        return;
    }
    QTimer::singleShot(milliseconds(delay), Qt::PreciseTimer, this, std::move(task));
}

void QtMainQueue::every(Seconds interval, Task task) {
    if (QThread::currentThread() != thread()) {
        post([this, interval, task = std::move(task)]() mutable { every(interval, std::move(task)); });
        return;
    }
    auto* timer = new QTimer(this);
    timer->setInterval(milliseconds(interval));
    // Coarse timers let the system batch wake-ups: an idle app costs next to nothing.
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer, &QTimer::timeout, this, std::move(task));
    timer->start();
}

TimePoint QtMainQueue::now() const { return std::chrono::system_clock::now(); }

}  // namespace vardex::ui
