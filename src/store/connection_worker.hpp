#pragma once

#include <functional>
#include <memory>
#include <string>

#include "protocol/ipc_message.hpp"
#include "protocol/json_lines_client.hpp"
#include "store/main_queue.hpp"
#include "store/running_flag.hpp"

namespace vardex {

// The one thread that keeps a connection to the daemon: connect and say hello, then read
// messages until the connection fails, then try again a second later. It never touches the
// store: every effect is a task posted to the main queue, in the order it happened.
class ConnectionWorker {
public:
    struct Effects {
        std::function<void(std::shared_ptr<JsonLinesClient>)> connected;
        std::function<void(IpcMessage)> received;
        std::function<void()> disconnected;
    };

    // Starts the thread. `effects` run as main-queue tasks.
    ConnectionWorker(std::string socketPath, MainQueue& queue, const RunningFlag& running, Effects effects);
    ConnectionWorker(const ConnectionWorker&) = delete;
    ConnectionWorker& operator=(const ConnectionWorker&) = delete;
    // Wakes the thread from any wait and joins it.
    ~ConnectionWorker();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace vardex
