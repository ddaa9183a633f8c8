// The longest the main thread is held by the store while an engine that takes 200 ms per run
// answers: once through start-up (health report, activity, dashboard) and once through a
// dashboard refresh. Every main-thread piece is timed (the call itself, then each batch of
// results handed back); the counter `longest_stall_ms` is the longest of them. The goal is to
// stay under one frame (16 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "support/fake_engine_store.hpp"
#include "support/store_harness.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using vardex::testing::ScopedEnv;
using vardex::testing::StoreHarness;
using vardex::testing::ThreadBackground;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct SlowEngineStore {
    SlowEngineStore() {
        harness.storeBackground = &threads;
        harness.writeEngine("sleep 0.2\n" + std::string(vardex::testing::quietEngine));
    }
    ~SlowEngineStore() {
        threads.drain();
        harness.storePointer().reset();
    }

    // Runs `call` on this thread, then the results it hands back as they arrive, until the
    // store is idle again; returns the longest single piece in milliseconds.
    template <class Call>
    double longestStall(vardex::VardexStore& store, Call call) {
        auto start = Clock::now();
        call();
        double longest = millisecondsSince(start);
        const auto idle = [&] { return !store.refreshing && !store.checkingHealth && !store.busy; };
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!idle() && Clock::now() < deadline) {
            start = Clock::now();
            const int ran = harness.queue.runPending();
            if (ran > 0) longest = std::max(longest, millisecondsSince(start));
            if (ran == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return longest;
    }

    StoreHarness harness;
    ThreadBackground threads;
    ScopedEnv noAutostart{"VARDEX_NO_AUTOSTART", "1"};
};

void BM_StartUpStall(benchmark::State& state) {
    double longest = 0;
    for (auto _ : state) {
        SlowEngineStore slow;
        auto& store = slow.harness.make();
        longest = std::max(longest, slow.longestStall(store, [&] { store.start(); }));
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_StartUpStall)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_DashboardRefreshStall(benchmark::State& state) {
    double longest = 0;
    for (auto _ : state) {
        SlowEngineStore slow;
        auto& store = slow.harness.make();
        longest = std::max(longest, slow.longestStall(store, [&] { store.refreshDashboard(); }));
    }
    state.counters["longest_stall_ms"] = longest;
}
BENCHMARK(BM_DashboardRefreshStall)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
