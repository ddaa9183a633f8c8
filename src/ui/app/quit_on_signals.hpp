#pragma once

#include <vector>

#include <QObject>

class QSocketNotifier;

namespace vardex::ui {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a Ctrl-C, a closed terminal) into an ordinary quit
// of the event loop, so the app ends as it does from its menu: the daemon it started is stopped
// and waited for instead of being left behind. The handler only writes a byte to a pipe; the
// quit happens on the main thread. A signal the app was started ignoring stays ignored. One per
// process: it owns the handlers while it lives.
class QuitOnSignals final : public QObject {
public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;
    QuitOnSignals(const QuitOnSignals&) = delete;
    QuitOnSignals& operator=(const QuitOnSignals&) = delete;

private:
    int fds_[2] = {-1, -1};
    std::vector<int> installed_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vardex::ui
