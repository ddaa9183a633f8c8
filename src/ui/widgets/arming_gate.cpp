#include "ui/widgets/arming_gate.hpp"

#include <QPointer>

#include "store/main_queue.hpp"

namespace vardex::ui {

ArmingGate::ArmingGate(MainQueue& queue, QObject* parent) : QObject(parent), queue_(queue) {}

void ArmingGate::arm() {
    const unsigned generation = ++generation_;
    open_ = false;
    Q_EMIT changed();
    queue_.postAfter(Seconds(armingSeconds), [self = QPointer<ArmingGate>(this), generation] {
        if (!self || self->generation_ != generation) return;
        self->open_ = true;
        Q_EMIT self->changed();
    });
}

}  // namespace vardex::ui
