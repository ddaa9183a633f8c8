// One evaluate round trip over the daemon's socket for an action the engine allows: on a fresh
// connection each time (as `vardex ask` and the agents' hooks do) and on one kept connection.
// Each round trip includes the daemon's append to the hash-chained activity log.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "bridge/vardex_paths.hpp"
#include "daemon/agent_action.hpp"
#include "daemon/evaluate_message.hpp"
#include "protocol/json_lines_client.hpp"
#include "support/temp_home.hpp"

extern char** environ;

namespace {

// A daemon in a temporary HOME for the life of one benchmark.
class BenchDaemon {
public:
    BenchDaemon() {
        char program[] = VARDEX_ENGINE_EXE;
        char daemon[] = "daemon";
        char foreground[] = "--foreground";
        char* argv[] = {program, daemon, foreground, nullptr};
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, program, &files, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && std::chrono::steady_clock::now() < limit) {
            vardex::JsonLinesClient probe(vardex::VardexPaths::socketPath());
            if (probe.connect(1.0) && probe.ping()) {
                ready_ = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~BenchDaemon() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    bool ready() const { return ready_; }

private:
    vardex::testing::TempHome home_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

std::string allowedLine() {
    auto action = vardex::engine::makeShellAction({vardex::AgentKind::claude, "bench", "/tmp", false}, "ls -la");
    return vardex::engine::encodeEvaluateLine(action).value();
}

bool roundTrip(vardex::JsonLinesClient& client, const std::string& line) {
    if (send(client.fd(), line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) return false;
    auto reply = client.receive();
    return reply && reply->is<vardex::IpcMessage::Event>();
}

void BM_EvaluateFreshConnection(benchmark::State& state) {
    BenchDaemon daemon;
    if (!daemon.ready()) return state.SkipWithError("the daemon did not start");
    const std::string line = allowedLine();
    for (auto _ : state) {
        vardex::JsonLinesClient client(vardex::VardexPaths::socketPath());
        if (!client.connect(5.0) || !client.send(vardex::IpcMessage::hello(vardex::IpcRole::client)) ||
            !roundTrip(client, line)) {
            return state.SkipWithError("round trip failed");
        }
    }
}
BENCHMARK(BM_EvaluateFreshConnection)->Unit(benchmark::kMicrosecond);

void BM_EvaluateKeptConnection(benchmark::State& state) {
    BenchDaemon daemon;
    if (!daemon.ready()) return state.SkipWithError("the daemon did not start");
    const std::string line = allowedLine();
    vardex::JsonLinesClient client(vardex::VardexPaths::socketPath());
    if (!client.connect(5.0)) return state.SkipWithError("no connection");
    for (auto _ : state) {
        if (!roundTrip(client, line)) return state.SkipWithError("round trip failed");
    }
}
BENCHMARK(BM_EvaluateKeptConnection)->Unit(benchmark::kMicrosecond);

// What an agent pays per tool call: `vardex hook <agent>` started as a process, the call on its
// standard input, its answer read back, for a command the engine allows. Calls come `spacing`
// apart: none for calls back to back, where each may wait for the daemon to flush the last
// decision's log line to the disk; otherwise the pause an agent leaves between calls, which the
// flush fits into.
void hookProcess(benchmark::State& state, const char* agent, const std::string& input, const std::string& allowed,
                 std::chrono::milliseconds spacing = std::chrono::milliseconds(0)) {
    BenchDaemon daemon;
    if (!daemon.ready()) return state.SkipWithError("the daemon did not start");
    char program[] = VARDEX_ENGINE_EXE;
    char hook[] = "hook";
    std::string name = agent;
    char* argv[] = {program, hook, name.data(), nullptr};
    for (auto _ : state) {
        if (spacing.count() > 0) {
            state.PauseTiming();
            std::this_thread::sleep_for(spacing);
            state.ResumeTiming();
        }
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return state.SkipWithError("no pipe");
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, in[0], 0);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, program, &files, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&files);
        close(in[0]);
        close(out[1]);
        if (spawned != 0) return state.SkipWithError("the hook did not start");
        (void)!write(in[1], input.data(), input.size());
        close(in[1]);
        std::string answer;
        char buffer[4096];
        for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(got));
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (answer.find(allowed) == std::string::npos) return state.SkipWithError("the hook did not allow");
    }
}

const std::string claudeCall = R"({"session_id":"bench","cwd":"/tmp","hook_event_name":"PreToolUse","tool_name":"Bash",)"
                               R"("tool_input":{"command":"git status"}})";

void BM_ClaudeHookProcess(benchmark::State& state) { hookProcess(state, "claude", claudeCall, R"("permissionDecision":"allow")"); }
BENCHMARK(BM_ClaudeHookProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_ClaudeHookProcessSpaced(benchmark::State& state) {
    hookProcess(state, "claude", claudeCall, R"("permissionDecision":"allow")", std::chrono::milliseconds(100));
}
BENCHMARK(BM_ClaudeHookProcessSpaced)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CursorHookProcess(benchmark::State& state) {
    hookProcess(state, "cursor",
                R"({"conversation_id":"bench","generation_id":"g","hook_event_name":"beforeShellExecution",)"
                R"("command":"git status","cwd":"/tmp","workspace_roots":["/tmp"]})",
                R"("permission":"allow")");
}
BENCHMARK(BM_CursorHookProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CodexHookProcess(benchmark::State& state) {
    hookProcess(state, "codex",
                R"({"session_id":"bench","cwd":"/tmp","model":"m","hook_event_name":"PreToolUse","tool_name":"shell",)"
                R"("tool_input":{"command":["bash","-lc","git status"]}})",
                R"("permissionDecision":"allow")");
}
BENCHMARK(BM_CodexHookProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GeminiHookProcess(benchmark::State& state) {
    hookProcess(state, "gemini",
                R"({"session_id":"bench","cwd":"/tmp","hook_event_name":"BeforeTool","timestamp":"2026-01-01T00:00:00Z",)"
                R"("tool_name":"run_shell_command","tool_input":{"command":"git status"}})",
                R"("decision":"allow")");
}
BENCHMARK(BM_GeminiHookProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
