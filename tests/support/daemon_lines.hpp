#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "support/test_daemon.hpp"

namespace vardex::testing {

// Bytes the test hands to a TestDaemon while it runs: the daemon sends each as it is pushed,
// and meanwhile keeps reading (and so recording) whatever the app sends. Lets a test say what
// the daemon does next, for example only after it has moved the clock. Serves one connection;
// `close` must be called before the daemon is destroyed.
class DaemonLines {
public:
    void push(std::string bytes) {
        {
            std::lock_guard lock(mutex_);
            queued_.push_back(std::move(bytes));
        }
        changed_.notify_all();
    }

    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    }

    DaemonScript script() {
        return [this](DaemonConnection& connection) {
            std::thread sender([&] {
                while (auto bytes = next()) {
                    if (!connection.sendRaw(*bytes)) return;
                }
            });
            connection.drainUntilClosed();
            close();
            sender.join();
        };
    }

private:
    std::optional<std::string> next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !queued_.empty(); });
        if (closed_) return std::nullopt;
        std::string bytes = std::move(queued_.front());
        queued_.pop_front();
        return bytes;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queued_;
    bool closed_ = false;
};

}  // namespace vardex::testing
