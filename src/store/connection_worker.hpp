#pragma once

#include <chrono>
#include <filesystem>
#include <vector>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "protocol/ipc_message.hpp"
#include "protocol/json_lines_client.hpp"
#include "store/main_queue.hpp"
#include "store/running_flag.hpp"

namespace vardex {

// The one thread that keeps a connection to the daemon: connect and say hello, then read
// messages until the connection fails, then try again a second later. It never touches the
// store: every effect is a task posted to the main queue, in the order it happened.
// Failures are not reported: a daemon that is down is simply tried again.
class ConnectionWorker {
public:
    struct Effects {
        // The handshake succeeded; the client is the one verdicts and ping replies go out on.
        std::function<void(std::shared_ptr<JsonLinesClient>)> connected;
        std::function<void(IpcMessage)> received;
        // Also posted after an attempt that never connected.
        std::function<void()> disconnected;
        // Before `disconnected`, when the program listening was not one of the trusted ones.
        std::function<void(std::string)> untrusted;
    };

    static constexpr double connectTimeoutSeconds = 2.0;
    static constexpr std::chrono::milliseconds retryDelay{1000};

    // Starts the thread, which ends by itself once `running` reads false. `effects` run as
    // main-queue tasks and may outlive the worker, so they must not rely on it. `queue` and
    // `running` must outlive the worker.
    // Only a listener running one of `trustedDaemons` is talked to.
    ConnectionWorker(std::string socketPath, std::vector<std::filesystem::path> trustedDaemons, MainQueue& queue,
                     const RunningFlag& running, Effects effects);
    ConnectionWorker(const ConnectionWorker&) = delete;
    ConnectionWorker& operator=(const ConnectionWorker&) = delete;
    // Wakes the thread from any wait (the retry sleep, or a read on a silent connection) and
    // joins it.
    ~ConnectionWorker();

private:
    struct Shared;
    static void run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace vardex
