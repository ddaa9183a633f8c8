// The runner's cost over a bare spawn of the same program, and one ping round trip on a
// connected socket client.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include "bridge/vardex_cli.hpp"
#include "protocol/json_lines_client.hpp"
#include "support/temp_folder.hpp"
#include "support/test_daemon.hpp"

extern char** environ;

namespace {

void BM_RunBinaryTrue(benchmark::State& state) {
    for (auto _ : state) {
        auto result = vardex::VardexCli::runBinary("/bin/true", {});
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_RunBinaryTrue)->Unit(benchmark::kMicrosecond);

void BM_BarePosixSpawnTrue(benchmark::State& state) {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    for (auto _ : state) {
        pid_t pid = -1;
        if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        benchmark::DoNotOptimize(status);
    }
}
BENCHMARK(BM_BarePosixSpawnTrue)->Unit(benchmark::kMicrosecond);

void BM_PingRoundTrip(benchmark::State& state) {
    vardex::testing::TempFolder root;
    vardex::testing::TestDaemon daemon(root / "d.sock", vardex::testing::scripts::answerPing());
    vardex::JsonLinesClient client(daemon.socketPath().string());
    if (!client.connect(2).ok()) {
        state.SkipWithError("connect failed");
        return;
    }
    for (auto _ : state) {
        if (!client.ping().ok()) {
            state.SkipWithError("ping failed");
            break;
        }
    }
}
BENCHMARK(BM_PingRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
