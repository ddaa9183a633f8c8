#pragma once

#include <QObject>

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

// Turns the store's publish() calls into one `changed` signal per event-loop turn: a burst of
// field changes costs one redraw, and no screen ever redraws from inside publish().
class StoreWatcher final : public QObject {
    Q_OBJECT
public:
    explicit StoreWatcher(VardexStore& store, QObject* parent = nullptr);

    VardexStore& store() const { return store_; }
    // Emits a `changed` still waiting for the next turn now, so whoever drives the screens from
    // inside one turn (a script's next command) sees the effects of what it did before.
    void flush();

Q_SIGNALS:
    void changed();

private:
    void schedule();

    VardexStore& store_;
    bool scheduled_ = false;
};

}  // namespace vardex::ui
