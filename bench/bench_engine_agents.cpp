// The engine's edits of agents' configuration files: registering and removing the hook in a
// settings file of realistic size, and wrapping the servers of an MCP configuration.
#include <benchmark/benchmark.h>

#include <string>

#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "agents/mcp_proxy_entries.hpp"

namespace {

using namespace vardex::engine;

// A settings file with `rules` permission entries and a few hooks of the user's own.
std::string settingsFile(int rules) {
    nlohmann::ordered_json j;
    j["model"] = "opus";
    for (int i = 0; i < rules; ++i) j["permissions"]["allow"].push_back("Bash(tool-" + std::to_string(i) + ":*)");
    j["hooks"]["PreToolUse"].push_back({{"matcher", "Bash"}, {"hooks", {{{"type", "command"}, {"command", "lint"}}}}});
    j["hooks"]["Stop"].push_back({{"hooks", {{{"type", "command"}, {"command", "notify-send done"}}}}});
    return j.dump(2);
}

std::string mcpFile(int servers) {
    nlohmann::ordered_json j;
    for (int i = 0; i < servers; ++i) {
        j["mcpServers"]["server" + std::to_string(i)] = {{"command", "npx"}, {"args", {"-y", "pkg-" + std::to_string(i)}}};
    }
    return j.dump(2);
}

std::string tomlFile(int servers) {
    std::string text = "model = \"o4\"\n";
    for (int i = 0; i < servers; ++i) {
        text += "\n[mcp_servers.s" + std::to_string(i) + "]\ncommand = \"npx\"\nargs = [\"-y\", \"pkg\"]\n";
    }
    return text;
}

void BM_InstallAndRemoveClaudeHook(benchmark::State& state) {
    const auto text = settingsFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto installed = withHook(text, HookFamily::claude, hookCommand("/usr/bin/vardex", HookFamily::claude));
        benchmark::DoNotOptimize(withoutHook(*installed, HookFamily::claude));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_InstallAndRemoveClaudeHook)->Arg(10)->Arg(1000);

void BM_WrapMcpJson(benchmark::State& state) {
    const auto text = mcpFile(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(withMcpProxy(text, "mcp.json", "/usr/bin/vardex"));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_WrapMcpJson)->Arg(5)->Arg(200);

void BM_WrapMcpToml(benchmark::State& state) {
    const auto text = tomlFile(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(withMcpProxy(text, "config.toml", "/usr/bin/vardex"));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_WrapMcpToml)->Arg(5)->Arg(200);

}  // namespace
