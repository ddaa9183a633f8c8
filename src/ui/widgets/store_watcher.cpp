#include "ui/widgets/store_watcher.hpp"

#include <QPointer>
#include <QTimer>

#include "store/vardex_store.hpp"

namespace vardex::ui {

StoreWatcher::StoreWatcher(VardexStore& store, QObject* parent) : QObject(parent), store_(store) {
    // The store keeps its observers for its whole life; the watcher may go first.
    store_.addObserver([self = QPointer<StoreWatcher>(this)] {
        if (self) self->schedule();
    });
}

void StoreWatcher::schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(0, this, &StoreWatcher::flush);
}

void StoreWatcher::flush() {
    if (!scheduled_) return;
    scheduled_ = false;
    Q_EMIT changed();
}

}  // namespace vardex::ui
