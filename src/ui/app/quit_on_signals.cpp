#include "ui/app/quit_on_signals.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace vardex::ui {

namespace {

constexpr int quitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, the only safe thing a handler can do with the event loop.
int wakeFd = -1;

extern "C" void noteQuitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!::write(wakeFd, &byte, 1);
    errno = saved;
}

}  // namespace

QuitOnSignals::QuitOnSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(fds_[0], bytes, sizeof bytes) > 0) {
        }
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = noteQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : quitSignals) {
        // A signal the app was started ignoring (as by nohup) stays ignored.
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
        installed_.push_back(signal);
    }
}

QuitOnSignals::~QuitOnSignals() {
    if (!notifier_) return;
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (const int signal : installed_) ::sigaction(signal, &defaults, nullptr);
    wakeFd = -1;
    delete notifier_;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

}  // namespace vardex::ui
