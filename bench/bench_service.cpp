// What one pass of the service's wait loop costs when the daemon is up (a fresh connection,
// hello and ping), the same probe against a socket nobody listens on, and building the
// launch agent's property list.
#include <benchmark/benchmark.h>

#include <chrono>

#include "service/daemon_socket.hpp"
#include "service/launch_agent.hpp"
#include "support/temp_folder.hpp"
#include "support/test_daemon.hpp"

namespace {

void BM_ProbeAnsweringDaemon(benchmark::State& state) {
    vardex::testing::TempFolder folder;
    vardex::testing::TestDaemon daemon(folder / "d.sock", vardex::testing::scripts::answerPing());
    const auto path = daemon.socketPath().string();
    for (auto _ : state) {
        if (!vardex::probeSocket(path, std::chrono::milliseconds(400))) state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_ProbeAnsweringDaemon)->Unit(benchmark::kMicrosecond);

void BM_ProbeNobodyListening(benchmark::State& state) {
    vardex::testing::TempFolder folder;
    const auto path = (folder / "none.sock").string();
    for (auto _ : state) benchmark::DoNotOptimize(vardex::probeSocket(path, std::chrono::milliseconds(400)));
}
BENCHMARK(BM_ProbeNobodyListening)->Unit(benchmark::kMicrosecond);

void BM_LaunchAgentPlist(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vardex::launchAgentPlist("/opt/R&D/<bin>/vardex", true, {"/opt/R&D/<bar>", false}));
}
BENCHMARK(BM_LaunchAgentPlist);

}  // namespace
