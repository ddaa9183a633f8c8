#pragma once

#include <QObject>

namespace vardex {
class MainQueue;
}

namespace vardex::ui {

// Keeps a question's answer buttons shut for one second after the question comes into view, so
// a key pressed for something else (someone typing when the panel appears) answers nothing. The
// second is timed on the main queue, the store's clock.
class ArmingGate final : public QObject {
    Q_OBJECT
public:
    static constexpr double armingSeconds = 1.0;

    ArmingGate(MainQueue& queue, QObject* parent = nullptr);

    // Shuts the gate and opens it one second from now; arming again restarts the second.
    void arm();
    bool open() const { return open_; }

Q_SIGNALS:
    void changed();

private:
    MainQueue& queue_;
    bool open_ = true;
    unsigned generation_ = 0;
};

}  // namespace vardex::ui
