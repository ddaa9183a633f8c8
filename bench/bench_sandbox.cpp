// What containment costs a command: `bash -c true` on its own, and inside `vardex sandbox` (the
// engine's start, planning the mounts, bubblewrap's namespaces). The difference is what every
// allowed shell command of an agent pays. Also the hook's one-time check that a sandbox can run.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "sandbox/sandbox_probe.hpp"

extern char** environ;

namespace {

void runToEnd(benchmark::State& state, std::vector<std::string> words) {
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (status != 0) {
            state.SkipWithError("the command failed (no sandbox on this machine?)");
            break;
        }
    }
}

void BM_BashTrue(benchmark::State& state) { runToEnd(state, {"/bin/bash", "-c", "true"}); }
BENCHMARK(BM_BashTrue)->Unit(benchmark::kMillisecond);

void BM_SandboxedBashTrue(benchmark::State& state) {
    runToEnd(state, {VARDEX_ENGINE_EXE, "sandbox", "--", "/bin/bash", "-c", "true"});
}
BENCHMARK(BM_SandboxedBashTrue)->Unit(benchmark::kMillisecond);

void BM_ProbeSandbox(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vardex::engine::probeSandbox(""));
}
BENCHMARK(BM_ProbeSandbox)->Unit(benchmark::kMillisecond);

}  // namespace
