#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/home_migration.hpp"
#include "bridge/vardex_paths.hpp"
#include "cli/commands.hpp"
#include "daemon/agent_action.hpp"
#include "daemon/agent_client.hpp"
#include "daemon/approval_memory.hpp"
#include "daemon/daemon_server.hpp"
#include "daemon/daemon_record.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/hook_process.hpp"
#include "policy/text_file.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

constexpr int exitAllowed = 0;
constexpr int exitFailed = 1;
constexpr int exitDenied = 2;

// Written by the signal handler, read by the poll loop: the only safe way out of a handler.
int stopWriteFd = -1;

extern "C" void requestStop(int) {
    const int saved = errno;
    const char byte = 1;
    (void)!::write(stopWriteFd, &byte, 1);
    errno = saved;
}

Result<int, std::string> installStopSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return fail("Could not set up the stop signal: " + std::system_category().message(errno));
    }
    stopWriteFd = fds[1];
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    // A peer that vanishes mid-write must show as an error, not end the daemon.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    return fds[0];
}

struct DaemonOptions {
    bool foreground = false;
    std::string appExecutable;
    bool testApprovers = false;
    unsigned idleSeconds = 10;
};

// The socket every installed agent and the app use when nothing else is said, under HOME or
// under the account's own home folder.
bool isDefaultSocket(const std::string& path) {
    const auto chosen = std::filesystem::path(path).lexically_normal();
    for (const auto& home : {VardexPaths::homeDirectory(), VardexPaths::accountHome()}) {
        if (home.empty()) continue;
        const auto standard = VardexPaths::defaultSocketFor(home).lexically_normal();
        std::error_code ignored;
        if (chosen == standard || std::filesystem::equivalent(chosen, standard, ignored)) return true;
    }
    return false;
}

// Kept beside the daemon's other files, so `doctor` can tell which app it listens to.
void recordDaemon(const DaemonTrust& trust) {
    nlohmann::json record{{"pid", ::getpid()},
                          {"app_executable", trust.appExecutable ? nlohmann::json(trust.appExecutable->string())
                                                                 : nlohmann::json()},
                          {"test_approvers", trust.testApprovers}};
    (void)VardexPaths::ensureDirectory(VardexPaths::supportDirectory());
    if (auto written = writeTextFileAtomically(VardexPaths::supportDirectory() / daemonRecordFileName,
                                               record.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        !written) {
        std::cerr << "vardex daemon: " << written.error().description() << std::endl;
    }
}

int runDaemon(const DaemonOptions& options) {
    DaemonTrust trust;
    if (!options.appExecutable.empty()) trust.appExecutable = std::filesystem::path(options.appExecutable);
    trust.testApprovers = options.testApprovers;
    if (trust.testApprovers && isDefaultSocket(VardexPaths::socketPath())) {
        std::cerr << "vardex daemon: --test-approvers is for test daemons only; give one its own VARDEX_SOCK."
                  << std::endl;
        return exitFailed;
    }
    if (!trust.appExecutable) {
        std::cerr << "vardex daemon: no app was named with --app-executable, so no answer from an app counts and "
                     "every question is settled by the policy's no-app default."
                  << std::endl;
    }
    for (const auto& kept : moveEarlierLayoutsOfThisHome().keptBack) {
        std::cerr << "vardex daemon: left where an earlier version kept it: " << kept << std::endl;
    }
    auto stopFd = installStopSignals();
    if (!stopFd) {
        std::cerr << "vardex daemon: " << stopFd.error() << std::endl;
        return exitFailed;
    }
    PolicyWatch policy(VardexPaths::userPolicyURL());
    if (auto loaded = policy.load(); !loaded) {
        std::cerr << "vardex daemon: " << loaded.error() << std::endl;
        return exitFailed;
    }
    ApprovalMemory memory(VardexPaths::supportDirectory() / ApprovalMemory::fileName);
    if (auto warning = memory.load()) std::cerr << "vardex daemon: " << *warning << std::endl;
    if (auto folder = VardexPaths::ensureDirectory(VardexPaths::auditDirectory()); !folder) {
        std::cerr << "vardex daemon: " << folder.error().description() << std::endl;
    }
    auto socket = ListeningSocket::open(VardexPaths::socketPath());
    if (!socket) {
        std::cerr << "vardex daemon: " << socket.error() << std::endl;
        return exitFailed;
    }
    std::cout << "vardex daemon listening on " << socket->path() << std::endl;
    recordDaemon(trust);
    DaemonLimits limits;
    limits.idle = std::chrono::seconds(options.idleSeconds);
    DaemonServer server(std::move(socket).value(), std::move(policy), std::move(memory), VardexPaths::auditLogURL(),
                        std::cerr, std::move(trust), limits);
    server.run(*stopFd);
    std::cout << "vardex daemon stopped" << std::endl;
    return exitAllowed;
}

struct AskOptions {
    std::string agent = "shim";
    std::string session;
    std::string shell;
    std::string read;
    std::string write;
    std::string url;
    std::vector<std::string> mcp;
    std::string chosen;  // the action option given: "--shell", "--read", ...
};

Result<Action, std::string> askedAction(const AskOptions& options) {
    std::error_code code;
    const auto cwd = std::filesystem::current_path(code);
    AgentContext context{*parseWireText<AgentKind>(options.agent), options.session, code ? "" : cwd.string(), false};
    if (options.chosen == "--shell") return makeShellAction(std::move(context), options.shell);
    if (options.chosen == "--read") return makeFileAction(std::move(context), FileAccess::read, options.read);
    if (options.chosen == "--write") return makeFileAction(std::move(context), FileAccess::write, options.write);
    if (options.chosen == "--url") return makeNetworkAction(std::move(context), options.url);
    if (options.mcp.size() != 3) return fail(std::string("--mcp takes SERVER TOOL JSON."));
    auto arguments = ProtocolJSON::decode<JSONValue>(options.mcp.at(2));
    if (!arguments) return fail("The MCP arguments are not JSON: " + arguments.error().description());
    return makeMcpAction(std::move(context), options.mcp.at(0), options.mcp.at(1), std::move(arguments).value());
}

int runAsk(const AskOptions& options) {
    auto action = askedAction(options);
    if (!action) {
        std::cerr << "vardex ask: " << action.error() << std::endl;
        return exitFailed;
    }
    auto decision = askDaemon(*action, VardexPaths::socketPath(), agentWaitSeconds());
    if (!decision) {
        std::cerr << "vardex ask: " << decision.error().description() << std::endl;
        return exitFailed;
    }
    std::cout << wireText(decision->decision);
    if (decision->ruleId) std::cout << " (" << *decision->ruleId << ")";
    std::cout << "\n" << decision->reasonUser << "\n";
    if (decision->decision != Outcome::allow) std::cout << decision->reasonAgent << "\n";
    std::cout.flush();
    return decision->decision == Outcome::allow ? exitAllowed : exitDenied;
}

}  // namespace

void addDaemonCommands(CLI::App& app, CommandContext& context) {
    auto* daemon = app.add_subcommand("daemon", "Run the daemon that decides what agents may do");
    auto daemonOptions = std::make_shared<DaemonOptions>();
    daemon->add_flag("--foreground", daemonOptions->foreground, "Stay in the foreground (the service manager runs it so)");
    daemon->add_option("--app-executable", daemonOptions->appExecutable,
                       "The app whose answers count: only a process running this file may answer questions");
    daemon->add_flag("--test-approvers", daemonOptions->testApprovers,
                     "Count answers from automation (for test daemons on their own socket only)");
    daemon->add_option("--idle-seconds", daemonOptions->idleSeconds,
                       "How long a peer may stay silent, or leave a line half sent, before it is dropped")
        ->check(CLI::Range(1u, 3600u));
    daemon->callback([&context, daemonOptions] {
        if (!daemonOptions->foreground) {
            std::cerr << "vardex daemon: run it as \"vardex daemon --foreground\"; the service manager keeps it "
                         "in the background."
                      << std::endl;
            context.exitCode = exitFailed;
            return;
        }
        context.exitCode = runDaemon(*daemonOptions);
    });

    auto options = std::make_shared<AskOptions>();
    auto* ask = app.add_subcommand("ask", "Ask the daemon about one action, as an agent would");
    ask->add_option("--agent", options->agent, "Agent kind")
        ->check(CLI::IsMember({"claude", "cursor", "codex", "gemini", "mcp", "shim"}));
    ask->add_option("--session", options->session, "Agent session id")->required();
    auto* what = ask->add_option_group("action", "The action to ask about");
    const std::vector<CLI::Option*> actionOptions{
        what->add_option("--shell", options->shell, "A shell command line"),
        what->add_option("--read", options->read, "A file to read"),
        what->add_option("--write", options->write, "A file to write"),
        what->add_option("--url", options->url, "A URL to fetch"),
        what->add_option("--mcp", options->mcp, "An MCP tool call: SERVER TOOL JSON")->expected(3),
    };
    what->require_option(1);
    ask->callback([&context, options, actionOptions] {
        for (const auto* option : actionOptions) {
            if (option->count() > 0) options->chosen = option->get_name();
        }
        context.exitCode = runAsk(*options);
    });

    auto* hook = app.add_subcommand("hook", "Answer a coding agent's hook");
    hook->require_subcommand(1);
    for (const auto* adapter : agentHooks()) {
        auto* agent = hook->add_subcommand(std::string(adapter->name), std::string(adapter->description));
        agent->callback([&context, adapter] { context.exitCode = runHookProcess(*adapter); });
    }
}

}  // namespace vardex::engine
