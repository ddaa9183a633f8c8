// readRecent(limit 50) on activity logs of 1 MB, 100 MB and 1 GB, made here in a temporary
// folder. The time should not grow with the size of the log: only its end is read. A log whose
// last line is 8 or 32 MB long should cost time in proportion to that line.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "activity/audit_log_entry.hpp"
#include "activity/v3_feed.hpp"

namespace {

namespace fs = std::filesystem;

class LogFolder {
public:
    LogFolder() {
        const char* base = std::getenv("VARDEX_BENCH_DIR");
        std::string pattern =
            ((base && *base) ? fs::path(base) : fs::temp_directory_path()) / "vardex-bench-XXXXXX";
        folder_ = ::mkdtemp(pattern.data());
    }
    ~LogFolder() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // A log of about `megabytes` MB of typical engine lines, written once per run.
    const fs::path& log(long megabytes) {
        auto found = logs_.find(megabytes);
        if (found != logs_.end()) return found->second;
        fs::path path = folder_ / ("audit-" + std::to_string(megabytes) + "mb.jsonl");
        std::string chunk;
        for (int i = 0; chunk.size() < (1 << 20); ++i) {
            chunk += R"({"ts":"2025-03-01T09:15:02.123Z","agent":"claude","session":"s-)" +
                     std::to_string(i % 97) +
                     R"(","action":{"kind":"shell","raw":"git status --short && ls -la ~/src/project)" +
                     std::to_string(i) +
                     R"("},"decision":"allow","rule_id":null,"risk":0.05,"prev_hash":"4f1c0e9a","hash":"h)" +
                     std::to_string(i) + "\"}\n";
        }
        std::ofstream out(path, std::ios::binary);
        for (long written = 0; written < megabytes; ++written) out << chunk;
        return logs_.emplace(megabytes, path).first->second;
    }

    // One ordinary line, then a last line of `megabytes` MB that is not an entry.
    const fs::path& longLastLine(long megabytes) {
        auto found = longLines_.find(megabytes);
        if (found != longLines_.end()) return found->second;
        fs::path path = folder_ / ("long-" + std::to_string(megabytes) + "mb.jsonl");
        std::ofstream out(path, std::ios::binary);
        out << R"({"ts":"2025-03-01T09:15:02Z","decision":"allow","hash":"h0"})" << '\n';
        out << std::string(static_cast<std::size_t>(megabytes) << 20, 'x');
        return longLines_.emplace(megabytes, path).first->second;
    }

private:
    fs::path folder_;
    std::map<long, fs::path> longLines_;
    std::map<long, fs::path> logs_;
};

LogFolder& folder() {
    static LogFolder instance;
    return instance;
}

void BM_ReadRecent50(benchmark::State& state) {
    const fs::path& log = folder().log(state.range(0));
    for (auto _ : state) {
        auto entries = vardex::AuditLogEntry::readRecent(log, 50);
        if (entries.size() != 50) state.SkipWithError("expected 50 entries");
        benchmark::DoNotOptimize(entries);
    }
    state.counters["file_MB"] = static_cast<double>(fs::file_size(log)) / (1 << 20);
}
BENCHMARK(BM_ReadRecent50)->Arg(1)->Arg(100)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_ReadRecentLongLastLine(benchmark::State& state) {
    const fs::path& log = folder().longLastLine(state.range(0));
    for (auto _ : state) {
        auto entries = vardex::AuditLogEntry::readRecent(log, 50);
        if (entries.size() != 1) state.SkipWithError("expected the one entry");
        benchmark::DoNotOptimize(entries);
    }
    state.counters["line_MB"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ReadRecentLongLastLine)->Arg(8)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_GroupFifty(benchmark::State& state) {
    auto entries = vardex::AuditLogEntry::readRecent(folder().log(1), 50);
    for (auto _ : state) {
        auto groups = vardex::V3Feed::groups(entries);
        benchmark::DoNotOptimize(groups);
    }
}
BENCHMARK(BM_GroupFifty)->Unit(benchmark::kMicrosecond);

}  // namespace
