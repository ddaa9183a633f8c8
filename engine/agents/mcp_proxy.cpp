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
#include "daemon/agent_action.hpp"
#include "daemon/agent_client.hpp"
#include "protocol/protocol_json.hpp"

extern char** environ;

namespace vardex::engine {
namespace {

using nlohmann::json;

std::string blockedReply(const json& id, const std::string& reason) {
    json reply{{"jsonrpc", "2.0"},
               {"id", id},
               {"result", {{"content", json::array({{{"type", "text"}, {"text", reason}}})}, {"isError", true}}}};
    return reply.dump();
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

// Splits what arrives on `fd` into lines and hands each (with its line feed) to `take`; a last
// line without one is handed over at the end. Stops early when `take` returns false or
// `stop` becomes readable.
void forEachLine(int fd, int stop, const std::function<bool(const std::string&)>& take) {
    std::string pending;
    char buffer[65536];
    for (;;) {
        pollfd watched[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
        const int ready = ::poll(watched, stop >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (stop >= 0 && watched[1].revents != 0 && watched[0].revents == 0)) break;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            if (!take(pending.substr(start, end + 1 - start))) return;
            start = end + 1;
        }
        pending.erase(0, start);
    }
    if (!pending.empty()) take(pending);
}

}  // namespace

ProxyStep screenAgentLine(std::string_view line, const std::string& server, const std::string& session,
                          const DecideAction& decide) {
    const auto message = json::parse(line, nullptr, false);
    if (!message.is_object() || message.value("method", json()) != "tools/call") return {};
    const json id = message.contains("id") ? message["id"] : json();
    const json params = message.value("params", json::object());
    // A call the proxy cannot read is not passed on: the server might read it differently.
    const json name = params.is_object() ? params.value("name", json()) : json();
    if (!name.is_string()) return {false, blockedReply(id, "Vardex could not tell which tool this is, so it was blocked.")};
    const json arguments = params.is_object() ? params.value("arguments", json::object()) : json::object();
    auto value = ProtocolJSON::fromTree<JSONValue>(arguments);
    if (!value) return {false, blockedReply(id, "Vardex could not read this tool call, so it was blocked.")};

    std::error_code ignored;
    AgentContext context{AgentKind::mcp, session, std::filesystem::current_path(ignored).string(), false};
    const auto decision = decide(makeMcpAction(context, server, name.get<std::string>(), std::move(value).value()));
    if (!decision) return {false, blockedReply(id, decision.error())};
    if (decision->decision == Outcome::allow) return {};
    return {false, blockedReply(id, decision->reasonAgent.empty() ? decision->reasonUser : decision->reasonAgent)};
}

int runMcpProxy(const std::string& server, const std::vector<std::string>& command) {
    if (command.empty()) {
        std::cerr << "Name the MCP server's command after \"--\".\n";
        return 2;
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
    for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toServer[0]);
    ::close(fromServer[1]);
    if (spawned != 0) {
        std::cerr << "Could not start the MCP server " << server << " (" << command.front()
                  << "): " << std::strerror(spawned) << '\n';
        for (const int fd : {toServer[1], fromServer[0], serverDone[0], serverDone[1]}) ::close(fd);
        return 127;
    }

    std::mutex output;
    const auto emit = [&output](std::string_view line) {
        std::lock_guard lock(output);
        return writeAll(STDOUT_FILENO, line);
    };
    // The server's lines go out whole, so a reply of the proxy never lands inside one.
    std::thread relay([&] {
        forEachLine(fromServer[0], -1, emit);
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
    forEachLine(STDIN_FILENO, serverDone[0], [&](const std::string& line) {
        const auto step = screenAgentLine(line, server, session, decide);
        if (step.reply) emit(*step.reply + "\n");
        return !step.forward || writeAll(toServer[1], line);
    });
    ::close(toServer[1]);
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
