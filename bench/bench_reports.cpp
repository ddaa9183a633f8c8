// Reading the engine's reports: a health report with many hooks, a rules listing of realistic
// size, and the protected-app matcher run once per process of a busy machine.
#include <benchmark/benchmark.h>

#include <string>

#include "bridge/doctor_report.hpp"
#include "bridge/protect_app_row.hpp"
#include "bridge/rules_catalog.hpp"

namespace {

std::string doctorText(int hooks) {
    std::string text = R"({"schema_version": 1, "binary": {"status": "ok", "message": "vardex 0.1.0"},)"
                       R"("policy": {"status": "ok"}, "audit_log": {"status": "warning", "message": "x"}, "hooks": [)";
    for (int i = 0; i < hooks; ++i) {
        if (i > 0) text += ",";
        text += R"({"agent": "agent)" + std::to_string(i) + R"(", "path": "/home/u/.agent/hooks.json", "status": "OK", "message": "Hook installed."})";
    }
    return text + "]}";
}

void BM_DoctorParse(benchmark::State& state) {
    const std::string text = doctorText(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto report = vardex::DoctorReport::parse(text);
        benchmark::DoNotOptimize(report);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DoctorParse)->Arg(4)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_RulesCatalogFromJson(benchmark::State& state) {
    nlohmann::json listing{{"defaults", {{"ask_timeout_seconds", "45"}, {"ask_threshold", {{"value", 0.55}}}}}};
    for (int i = 0; i < state.range(0); ++i) {
        listing["rules"].push_back({{"id", "rule." + std::to_string(i)}, {"description", "A rule of the listing"},
                                    {"severity", i % 7 == 0 ? "critical" : "high"}, {"decision", "deny"},
                                    {"layer", "embedded"}, {"source", "builtin"}});
    }
    for (auto _ : state) {
        vardex::RulesCatalog catalog(listing);
        benchmark::DoNotOptimize(catalog);
    }
}
BENCHMARK(BM_RulesCatalogFromJson)->Arg(300)->Unit(benchmark::kMicrosecond);

void BM_ProtectMatchMiss(benchmark::State& state) {
    const std::vector<std::string> argv{"node", "/usr/lib/node_modules/some-tool/bin/index.js", "--flag"};
    for (auto _ : state) {
        auto found = vardex::ProtectAppRow::match("/usr/bin/node", std::nullopt, argv);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_ProtectMatchMiss)->Unit(benchmark::kNanosecond);

}  // namespace
