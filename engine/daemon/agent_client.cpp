#include "daemon/agent_client.hpp"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "core/engine_policy.hpp"
#include "bridge/vardex_paths.hpp"
#include "daemon/evaluate_message.hpp"
#include "protocol/json_lines_client.hpp"

namespace vardex::engine {
namespace {

constexpr double connectSeconds = 2.0;
// Covers the daemon's own time-out, its answer, and a slow machine.
constexpr double waitMargin = 15.0;

AgentClientError unreachable(const std::string& socketPath, const std::string& detail) {
    return {"Vardex protection is off: the Vardex daemon does not answer at " + socketPath + " (" + detail +
            "). Turn protection on in Vardex Bar, then try again."};
}

bool writeLine(int fd, const std::string& line) {
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t count = ::send(fd, line.data() + written, line.size() - written, MSG_NOSIGNAL);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<std::filesystem::path> trustedDaemons() {
    std::vector<std::filesystem::path> engines{"/proc/self/exe"};
    if (auto configured = VardexPaths::vardexBinary()) engines.push_back(*configured);
    return engines;
}

Result<DecisionEvent, AgentClientError> askDaemon(const Action& action, const std::string& socketPath,
                                                  double waitSeconds) {
    auto line = encodeEvaluateLine(action);
    if (!line) return fail(AgentClientError{"Could not describe the action: " + line.error().description()});

    JsonLinesClient client(socketPath);
    // Only a daemon running this very engine, or the one configured, decides; whatever else
    // listens there is not asked.
    client.requireDaemon(trustedDaemons());
    if (auto connected = client.connect(connectSeconds); !connected) {
        if (connected.error().kind() == SocketClientError::Kind::untrustedPeer) {
            return fail(AgentClientError{"Denied: the program answering at " + socketPath +
                                         " is not the Vardex daemon (" + connected.error().detail() +
                                         "). Tell the user; do not try to work around it."});
        }
        return fail(unreachable(socketPath, connected.error().description()));
    }
    if (auto hello = client.send(IpcMessage::hello(IpcRole::client)); !hello) {
        return fail(unreachable(socketPath, hello.error().description()));
    }
    // The evaluate message is the engine's own and has no IpcMessage case, so it goes out as
    // the ready line.
    if (!writeLine(client.fd(), *line)) return fail(unreachable(socketPath, "the daemon closed the connection"));

    client.setReceiveTimeout(waitSeconds);
    for (;;) {
        auto message = client.receive();
        if (!message) {
            return fail(AgentClientError{"The Vardex daemon gave no decision: " + message.error().description()});
        }
        if (const auto* event = std::get_if<IpcMessage::Event>(&message->payload)) return event->decision;
    }
}

double agentWaitSeconds() {
    const auto policy = loadEnginePolicy();
    const int askTimeout = policy ? policy->askTimeoutSeconds : EnginePolicy{}.askTimeoutSeconds;
    return std::max(askTimeout, 0) + waitMargin;
}

}  // namespace vardex::engine
