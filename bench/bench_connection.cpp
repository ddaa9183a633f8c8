// The store's side of the daemon connection: one approval from the daemon's line to the
// verdict line the daemon reads, and how long destroying the store takes while its connection
// worker waits (in a read on a silent daemon, or between two attempts on a daemon that is down).
#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>
#include <thread>

#include "protocol/line_codec.hpp"
#include "support/daemon_lines.hpp"
#include "support/store_harness.hpp"

namespace {

using namespace std::chrono_literals;
using vardex::testing::DaemonLines;
using vardex::testing::StoreHarness;
using vardex::testing::TestDaemon;

vardex::ApprovalRequest askFor(std::string id) {
    vardex::ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = "sudo rm -rf /var/log";
    request.reasonUser = "Runs as administrator.";
    request.agent.sessionId = "s-1";
    return request;
}

// A store connected to a daemon on a real socket in a temporary HOME.
// Without a script of its own the daemon sends what is pushed to `lines`.
struct Connected {
    explicit Connected(std::optional<vardex::testing::DaemonScript> script = std::nullopt)
        : daemon(socketPath, script ? std::move(*script) : lines.script()), store(harness.make()) {
        store.running.set(true);
        store.connectLoop();
        ok = harness.queue.runUntil([&] { return store.connected; });
    }
    ~Connected() {
        lines.close();
        harness.storePointer().reset();
    }

    StoreHarness harness;
    std::filesystem::path socketPath = harness.home / "vardex.sock";
    vardex::testing::ScopedEnv socketEnv{"VARDEX_SOCK", socketPath.string()};
    DaemonLines lines;
    TestDaemon daemon;
    vardex::VardexStore& store;
    bool ok = false;
};

void BM_ApprovalRoundTrip(benchmark::State& state) {
    Connected c;
    if (!c.ok) {
        state.SkipWithError("did not connect");
        return;
    }
    std::size_t answered = 2;  // the hello and the subscribe
    long long next = 0;
    for (auto _ : state) {
        const auto request = askFor("req-" + std::to_string(next++));
        c.lines.push(*vardex::encodeLine(vardex::IpcMessage::approvalRequest(request)));
        if (!c.harness.queue.runUntil([&] { return !c.store.pending.empty(); })) {
            state.SkipWithError("request never arrived");
            break;
        }
        c.store.answer(request, vardex::ApprovalVerdict::allowOnce);
        if (!c.daemon.waitForReceived(++answered)) {
            state.SkipWithError("verdict never arrived");
            break;
        }
    }
}
BENCHMARK(BM_ApprovalRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_DestroyWhileReading(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto connected = std::make_unique<Connected>(vardex::testing::scripts::silent());
        if (!connected->ok) state.SkipWithError("did not connect");
        state.ResumeTiming();
        connected->harness.storePointer().reset();
        state.PauseTiming();
        connected.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DestroyWhileReading)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(20);

void BM_DestroyWhileWaitingToRetry(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto harness = std::make_unique<StoreHarness>();
        vardex::testing::ScopedEnv socketEnv("VARDEX_SOCK", (harness->home / "nobody.sock").string());
        auto& store = harness->make();
        store.running.set(true);
        store.connectLoop();
        // Long enough for the refused attempt; the worker is then in its one-second wait.
        std::this_thread::sleep_for(50ms);
        state.ResumeTiming();
        harness->storePointer().reset();
        state.PauseTiming();
        harness.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DestroyWhileWaitingToRetry)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(20);

}  // namespace
