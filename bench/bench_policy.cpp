// Writing and reading the user policy file, at the sizes a heavy user reaches (a few hundred
// rules), and the folder id every added folder needs.

#include <benchmark/benchmark.h>

#include "policy/rule_ids.hpp"
#include "policy/user_policy_file.hpp"

namespace {

vardex::UserPolicyFile policyWith(int rules) {
    vardex::UserPolicyFile policy;
    policy.askTimeoutSeconds = 45;
    policy.askThreshold = 0.6;
    for (int i = 0; i < 20; ++i) policy.setDisabled("engine.rule_" + std::to_string(i), true);
    for (int i = 0; i < rules; ++i) {
        switch (i % 3) {
            case 0: policy.addFolder("/home/ana/projects/client " + std::to_string(i) + "/secrets"); break;
            case 1: policy.addSite("https://www.site" + std::to_string(i) + ".example.com/login"); break;
            default:
                policy.rules.push_back(vardex::UserRule::custom("custom." + std::to_string(i), "No \"force\" pushes",
                                                                "high", "ask", vardex::UserRule::MatchKind::raw,
                                                                "git push --force origin main"));
        }
    }
    return policy;
}

void BM_WritePolicy(benchmark::State& state) {
    const vardex::UserPolicyFile policy = policyWith(static_cast<int>(state.range(0)));
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = policy.yaml();
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WritePolicy)->Arg(10)->Arg(300);

void BM_ReadPolicy(benchmark::State& state) {
    const std::string text = policyWith(static_cast<int>(state.range(0))).yaml();
    for (auto _ : state) {
        vardex::UserPolicyFile policy = vardex::UserPolicyFile::parse(text);
        benchmark::DoNotOptimize(policy.rules.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadPolicy)->Arg(10)->Arg(300);

void BM_FolderSlug(benchmark::State& state) {
    const std::string path = "/home/ana/Documents/Client Projects (2024)/Ärger Ölé";
    for (auto _ : state) benchmark::DoNotOptimize(vardex::slug(path));
}
BENCHMARK(BM_FolderSlug);

}  // namespace
