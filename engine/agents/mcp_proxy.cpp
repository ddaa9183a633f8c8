#include "agents/mcp_proxy.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "bridge/vardex_paths.hpp"
#include "agents/contained_server.hpp"
#include "agents/mcp_screen.hpp"
#include "agents/rpc_id_scanner.hpp"
#include "daemon/agent_action.hpp"
#include "daemon/agent_client.hpp"
#include "protocol/protocol_json.hpp"

extern char** environ;

namespace vardex::engine {
namespace {

using nlohmann::json;

// JSON-RPC's own codes, and one in the range left to servers for a request Vardex refused.
constexpr int parseError = -32700;
constexpr int invalidRequest = -32600;
constexpr int internalError = -32603;
constexpr int blockedByPolicy = -32001;
// As a shell reports a command it found but could not run.
constexpr int exitCannotRun = 126;
// The longest line either side may send, its line feed included. A line is kept whole until it
// is checked or passed on, so this bounds what the proxy holds; MCP messages that carry a file
// or an image in base64 stay well below it, and a peer that never ends its line cannot make the
// proxy hold more.
constexpr std::size_t maxLineBytes = 8 * 1024 * 1024;
constexpr const char* maxLineText = "8 MiB";

json errorJson(const json& id, int code, const std::string& message) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

std::string errorReply(const json& id, int code, const std::string& message) {
    return errorJson(id, code, message).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string blockedReply(const json& id, const std::string& reason) {
    json reply{{"jsonrpc", "2.0"},
               {"id", id},
               {"result", {{"content", json::array({{{"type", "text"}, {"text", reason}}})}, {"isError", true}}}};
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// One end the proxy writes whole lines to from both its threads.
class LineSink {
public:
    explicit LineSink(int fd) : fd_(fd) {}

    bool write(std::string_view line) {
        std::lock_guard lock(mutex_);
        return fd_ >= 0 && writeAll(fd_, line);
    }
    void close() {
        std::lock_guard lock(mutex_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    std::mutex mutex_;
    int fd_;
};

// What is known of a line too long to keep, read past without holding it.
struct LongLine {
    std::optional<json> id;
    bool request = false;  // it names a method: a request, not a response
};

// Splits what arrives on `fd` into lines and hands each (with its line feed) to `take`; a last
// line without one is handed over at the end. A line longer than maxLineBytes is not kept:
// `overlong` hears its id instead. Stops early when `take` returns false or `stop` becomes
// readable.
void forEachLine(int fd, int stop, const std::function<bool(const std::string&)>& take,
                 const std::function<void(const LongLine&)>& overlong) {
    std::string pending;
    std::optional<RpcIdScanner> skipping;  // set inside a line already found too long
    char buffer[65536];
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        const int ready = ::poll(watched, stop >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (stop >= 0 && watched[1].revents != 0 && watched[0].revents == 0)) break;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        for (std::string_view chunk(buffer, static_cast<std::size_t>(got)); !chunk.empty();) {
            const auto end = chunk.find('\n');
            const std::size_t piece = end == std::string_view::npos ? chunk.size() : end + 1;
            if (!skipping && pending.size() + piece > maxLineBytes) {
                skipping.emplace();
                skipping->feed(pending);
                pending.clear();
            }
            if (skipping) {
                skipping->feed(chunk.substr(0, piece));
                if (end != std::string_view::npos) {
                    overlong({skipping->id(), skipping->hasMethod()});
                    skipping.reset();
                }
            } else {
                pending.append(chunk.substr(0, piece));
                if (end != std::string_view::npos) {
                    if (!take(pending)) return;
                    pending.clear();
                }
            }
            chunk.remove_prefix(piece);
        }
    }
    if (skipping) {
        overlong({skipping->id(), skipping->hasMethod()});
    } else if (!pending.empty()) {
        take(pending);
    }
}

// A line too long to check or pass on: a request hears an error from the proxy, a response is
// replaced by one for its receiver, and a line whose id is lost is dropped with a word on stderr.
void answerLongLine(const LongLine& line, const char* from, LineSink& sender, LineSink& receiver) {
    const std::string tooLong = std::string("This ") + (line.request ? "request" : "reply") + " from the " + from +
                                " is longer than " + maxLineText + ", so Vardex did not pass it on.";
    if (!line.id) {
        std::cerr << "vardex mcp-proxy: dropped a line longer than " << maxLineText << " from the " << from
                  << " that names no request.\n";
    } else if (line.request) {
        sender.write(errorReply(*line.id, invalidRequest, tooLong) + "\n");
    } else {
        receiver.write(errorReply(*line.id, internalError, tooLong) + "\n");
    }
}

}  // namespace

ProxyStep screenAgentLine(std::string_view line, const std::string& server, const std::string& session,
                          const DecideAction& decide) {
    // Blank lines carry nothing; passing them on gains nothing either.
    if (line.find_first_not_of(" \t\r\n") == std::string_view::npos) return {false, std::nullopt};
    const auto message = json::parse(line, nullptr, false);
    // What the proxy cannot read is not passed on: the server might read it differently.
    if (message.is_discarded()) return {false, errorReply(json(), parseError, "Vardex could not read this line, so it was not passed on.")};
    if (message.is_array()) {
        // Each request of a batch would need its own decision and the batch one answer; it is
        // refused whole, and every request in it hears so.
        json replies = json::array();
        for (const auto& element : message) {
            if (element.is_object() && element.contains("id") && element.contains("method")) {
                replies.push_back(errorJson(element["id"], invalidRequest,
                                            "Vardex does not pass on batches; send each request on its own line."));
            }
        }
        if (replies.empty()) return {false, std::nullopt};
        return {false, replies.dump(-1, ' ', false, json::error_handler_t::replace)};
    }
    if (!message.is_object()) return {false, errorReply(json(), invalidRequest, "Vardex passes on JSON-RPC messages only.")};

    const bool hasId = message.contains("id");
    const json id = hasId ? message["id"] : json();
    const auto method = message.find("method");
    if (method == message.end()) {
        // A response to one of the server's own requests; anything else is not a message.
        if (hasId && (message.contains("result") || message.contains("error"))) return {};
        return {false, hasId ? errorReply(id, invalidRequest, "Vardex passes on JSON-RPC messages only.") : std::optional<std::string>()};
    }
    if (!method->is_string()) {
        return {false, hasId ? errorReply(id, invalidRequest, "This request names no method, so it was not passed on.")
                             : std::optional<std::string>()};
    }
    // A notification is not answered; it carries no action to decide.
    if (!hasId) return {};

    const std::string name = method->get<std::string>();
    const json params = message.value("params", json::object());
    std::error_code ignored;
    const AgentContext context{AgentKind::mcp, session, std::filesystem::current_path(ignored).string(), false};
    const auto blocked = [&](const std::string& reason) -> ProxyStep {
        if (name == "tools/call") return {false, blockedReply(id, reason)};
        return {false, errorReply(id, blockedByPolicy, reason)};
    };
    auto actions = mcpRequestActions(name, params, server, context);
    if (!actions) return blocked(actions.error());
    for (const auto& action : *actions) {
        const auto decision = decide(action);
        if (!decision) return blocked(decision.error());
        if (decision->decision != Outcome::allow) {
            return blocked(decision->reasonAgent.empty() ? decision->reasonUser : decision->reasonAgent);
        }
    }
    return {};
}

int runMcpProxy(const std::string& server, const std::vector<std::string>& command) {
    if (command.empty()) {
        std::cerr << "Name the MCP server's command after \"--\".\n";
        return 2;
    }
    const auto launch = serverLaunch(command);
    if (!launch) {
        std::cerr << "Vardex will not start the MCP server " << server << ": " << launch.error() << '\n';
        return exitCannotRun;
    }
    int toServer[2];
    int fromServer[2];
    int serverDone[2];
    if (::pipe2(toServer, O_CLOEXEC) != 0 || ::pipe2(fromServer, O_CLOEXEC) != 0 || ::pipe2(serverDone, O_CLOEXEC) != 0) {
        std::cerr << "Could not start the MCP server " << server << ": " << std::strerror(errno) << '\n';
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
    std::vector<char*> argv;
    for (const auto& word : *launch) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toServer[0]);
    ::close(fromServer[1]);
    if (spawned != 0) {
        std::cerr << "Could not start the MCP server " << server << " (" << launch->front()
                  << "): " << std::strerror(spawned) << '\n';
        for (const int fd : {toServer[1], fromServer[0], serverDone[0], serverDone[1]}) ::close(fd);
        return 127;
    }

    // The server's lines go out whole, so a reply of the proxy never lands inside one.
    LineSink agent(STDOUT_FILENO);
    LineSink serverInput(toServer[1]);
    std::thread relay([&] {
        forEachLine(
            fromServer[0], -1, [&](const std::string& line) { return agent.write(line); },
            [&](const LongLine& line) { answerLongLine(line, "MCP server", serverInput, agent); });
        ::close(fromServer[0]);
        ::close(serverDone[1]);
    });

    const std::string socket = VardexPaths::socketPath();
    const double wait = agentWaitSeconds();
    const std::string session = "mcp-" + server + "-" + std::to_string(::getpid());
    const DecideAction decide = [&](const Action& action) -> Result<DecisionEvent, std::string> {
        auto decision = askDaemon(action, socket, wait);
        if (!decision) return fail(decision.error().description());
        return std::move(decision).value();
    };
    forEachLine(
        STDIN_FILENO, serverDone[0],
        [&](const std::string& line) {
            const auto step = screenAgentLine(line, server, session, decide);
            if (step.reply) agent.write(*step.reply + "\n");
            return !step.forward || serverInput.write(line);
        },
        [&](const LongLine& line) { answerLongLine(line, "client", agent, serverInput); });
    serverInput.close();
    relay.join();
    ::close(serverDone[0]);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace vardex::engine
