// Replaying a week of the activity log under a changed policy, as the app does before a rule
// changes: reading 100 000 logged lines and deciding each distinct action under both policies.
// Agents repeat themselves, so a fifth of the lines are distinct commands.

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "core/audit_log.hpp"
#include "core/engine_policy.hpp"
#include "core/policy_replay.hpp"
#include "core/shell_parser.hpp"

namespace {

using namespace vardex;

std::string weekOfLog(int lines) {
    std::string log;
    for (int i = 0; i < lines; ++i) {
        Action action;
        action.context = AgentContext{AgentKind::claude, "s1", "/home/ana/project", false};
        const int n = i % (lines / 5);
        const std::string command = n % 3 == 0   ? "sudo systemctl restart app" + std::to_string(n)
                                    : n % 3 == 1 ? "git commit -m \"change " + std::to_string(n) + "\" && git push"
                                                 : "npm test -- --grep case" + std::to_string(n);
        action.kind = engine::shellAction(command, "/home/ana/project");
        const auto record = engine::auditRecordFor(action, Decision{}, std::nullopt, std::chrono::system_clock::now());
        log += nlohmann::json{{"ts", record.ts}, {"agent", "claude"}, {"action", record.action}, {"decision", "allow"}}.dump();
        log += '\n';
    }
    return log;
}

void BM_ReplayAWeek(benchmark::State& state) {
    const auto log = weekOfLog(static_cast<int>(state.range(0)));
    const auto inForce = engine::makeEnginePolicy("/home/ana", UserPolicyFile{}, "policy.yaml");
    UserPolicyFile changed;
    changed.setDisabled("priv.sudo", true);
    const auto candidate = engine::makeEnginePolicy("/home/ana", changed, "candidate.yaml");
    for (auto _ : state) {
        std::istringstream in(log);
        benchmark::DoNotOptimize(engine::replayActions(engine::readLoggedActions(in, ""), inForce, candidate));
    }
}
BENCHMARK(BM_ReplayAWeek)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The reading alone, to tell it from the deciding.
void BM_ReadAWeek(benchmark::State& state) {
    const auto log = weekOfLog(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::istringstream in(log);
        benchmark::DoNotOptimize(engine::readLoggedActions(in, ""));
    }
}
BENCHMARK(BM_ReadAWeek)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
