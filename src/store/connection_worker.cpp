#include "store/connection_worker.hpp"

#include <sys/socket.h>

#include <condition_variable>
#include <mutex>

namespace vardex {

struct ConnectionWorker::Shared {
    Shared(std::string socketPath, std::vector<std::filesystem::path> trusted, MainQueue& mainQueue,
           const RunningFlag& runningFlag, Effects givenEffects)
        : path(std::move(socketPath)),
          daemons(std::move(trusted)),
          queue(mainQueue),
          running(runningFlag),
          effects(std::make_shared<const Effects>(std::move(givenEffects))) {}

    const std::string path;
    const std::vector<std::filesystem::path> daemons;
    MainQueue& queue;
    const RunningFlag& running;
    // Shared with the posted tasks, which may run after the worker is gone.
    const std::shared_ptr<const Effects> effects;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    // The connected client a stop must wake; kept here so its descriptor stays open while a
    // stop may shut it down.
    std::shared_ptr<JsonLinesClient> current;

    bool keepGoing() {
        if (!running.value()) return false;
        std::lock_guard lock(mutex);
        return !stopping;
    }

    // False when a stop came first: the connection is then not used at all.
    bool track(std::shared_ptr<JsonLinesClient> client) {
        std::lock_guard lock(mutex);
        if (stopping) return false;
        current = std::move(client);
        return true;
    }

    void untrack() {
        std::lock_guard lock(mutex);
        current.reset();
    }

    void stop() {
        std::lock_guard lock(mutex);
        stopping = true;
        // Shutting down rather than closing: the reader fails at once, and the descriptor
        // number cannot be reused under it before the worker has let the client go.
        if (current) {
            if (const int fd = current->fd(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
        }
        wake.notify_all();
    }

    // False when woken by a stop.
    bool sleepUnlessStopped() {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, retryDelay, [this] { return stopping; });
    }

    template <class Call>
    void post(Call call) {
        queue.post([effects = effects, call = std::move(call)]() mutable { call(*effects); });
    }
};

ConnectionWorker::ConnectionWorker(std::string socketPath, std::vector<std::filesystem::path> trustedDaemons,
                                   MainQueue& queue, const RunningFlag& running, Effects effects)
    : shared_(std::make_shared<Shared>(std::move(socketPath), std::move(trustedDaemons), queue, running,
                                       std::move(effects))),
      thread_([shared = shared_] { run(shared); }) {}

ConnectionWorker::~ConnectionWorker() {
    shared_->stop();
    if (thread_.joinable()) thread_.join();
}

void ConnectionWorker::run(const std::shared_ptr<Shared>& shared) {
    while (shared->keepGoing()) {
        auto client = std::make_shared<JsonLinesClient>(shared->path);
        client->requireDaemon(shared->daemons);
        auto connected = client->connect(connectTimeoutSeconds);
        if (!connected && connected.error().kind() == SocketClientError::Kind::untrustedPeer) {
            shared->post([why = connected.error().detail()](const Effects& effects) { effects.untrusted(why); });
        }
        bool up = connected.ok();
        if (up && !shared->track(client)) return;
        up = up && client->handshakeUI().ok();
        if (up) {
            shared->post([client](const Effects& effects) { effects.connected(client); });
            while (shared->keepGoing()) {
                auto message = client->receive();
                if (!message) break;
                shared->post([message = std::move(*message)](const Effects& effects) { effects.received(message); });
            }
        }
        shared->untrack();
        client.reset();
        shared->post([](const Effects& effects) { effects.disconnected(); });
        if (!shared->sleepUnlessStopped()) return;
    }
}

}  // namespace vardex
