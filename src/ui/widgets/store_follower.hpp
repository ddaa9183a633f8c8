#pragma once

#include <functional>

#include <QObject>

#include "store/slice_revisions.hpp"

class QWidget;

namespace vardex::ui {

class StoreWatcher;

// How a screen follows the store: after each coalesced publish it compares the revisions of the
// slices it reads with those it last drew from, and redraws only when one of them moved; when
// only the clock moved it moves its countdowns and relative times instead. While the screen is
// hidden nothing is drawn; it catches up when it is shown.
class StoreFollower final : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        std::function<void()> redraw;
        // Countdowns and relative times; absent: the clock alone changes nothing shown.
        std::function<void()> clockMoved;
    };

    StoreFollower(StoreWatcher& watcher, QWidget& screen, StoreSlices reads, Hooks hooks);

    // Draws what moved since the last drawing (everything the first time), shown or not.
    void catchUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StoreWatcher& watcher_;
    QWidget& screen_;
    DrawnSlices drawn_;
    Hooks hooks_;
};

}  // namespace vardex::ui
