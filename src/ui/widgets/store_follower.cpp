#include "ui/widgets/store_follower.hpp"

#include <QEvent>
#include <QWidget>

#include "store/vardex_store.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui {

StoreFollower::StoreFollower(StoreWatcher& watcher, QWidget& screen, StoreSlices reads, Hooks hooks)
    : QObject(&screen), watcher_(watcher), screen_(screen), drawn_(reads), hooks_(std::move(hooks)) {
    connect(&watcher, &StoreWatcher::changed, this, [this] {
        if (screen_.isVisible()) catchUp();
    });
    screen.installEventFilter(this);
}

void StoreFollower::catchUp() {
    const StoreSlices moved = drawn_.catchUp(watcher_.store().revisions());
    if (!moved.without(StoreSlice::clock).empty()) {
        hooks_.redraw();
    } else if (moved.contains(StoreSlice::clock) && hooks_.clockMoved) {
        hooks_.clockMoved();
    }
}

bool StoreFollower::eventFilter(QObject* watched, QEvent* event) {
    // Before the screen's own show handling, so what it does on showing sees a current screen.
    if (watched == &screen_ && event->type() == QEvent::Show) catchUp();
    return QObject::eventFilter(watched, event);
}

}  // namespace vardex::ui
