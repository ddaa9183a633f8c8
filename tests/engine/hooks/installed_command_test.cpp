#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "bridge/vardex_paths.hpp"
#include "daemon_fixture.hpp"
#include "engine/row_name.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/hook_core.hpp"
#include "support/test_daemon.hpp"

namespace vardex::testing {
namespace {

using engine::HookFamily;

struct Death {
    const char* name;
    const char* script;  // the body of the program the hook entry runs; empty: no program at all
    int exitCode;        // what the agent sees
    bool engineSpoke;    // the engine's own output reaches the agent, not the command's denial
};

const Death deaths[] = {
    {"fails_after_printing_an_allow", "echo '{\"permission\":\"allow\",\"decision\":\"allow\"}'; exit 1", 2, false},
    {"is_killed", "kill -KILL $$", 2, false},
    {"is_missing", "", 2, false},
    {"answers", "cat >/dev/null; echo '{\"from\":\"engine\"}'", 0, true},
};

class InstalledHookCommand : public DaemonFixture,
                             public ::testing::WithParamInterface<std::tuple<HookFamily, Death>> {};

// The command written into each agent's hook file, run as the agent runs it (by the shell), with
// an engine that dies in every way it could: the agent must see the blocking status and, for
// agents that read only the output, exactly one denial in its own format.
TEST_P(InstalledHookCommand, FailsClosedInTheAgentsFormat) {
    const auto& [family, death] = GetParam();
    const auto program = home / "bin/vardex";
    if (*death.script != '\0') writeScript(program, death.script);
    const auto command = engine::hookCommand(program, family);
    const auto run = EngineRun(runs(), "/bin/sh", {"-c", command}, "{}").finish();
    EXPECT_EQ(run.exitCode, death.exitCode) << command;
    const auto& adapter = engine::hookAdapterOf(family);
    const auto printed = nlohmann::json::parse(run.out, nullptr, false);
    if (death.engineSpoke) {
        EXPECT_EQ(printed, nlohmann::json({{"from", "engine"}})) << run.out;
    } else {
        EXPECT_EQ(run.out, engine::HookCore::engineFailedLine(adapter) + "\n");
        EXPECT_EQ(adapter.decisionIn(printed), Outcome::deny) << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Deaths, InstalledHookCommand,
                         ::testing::Combine(::testing::ValuesIn(engine::hookFamilies), ::testing::ValuesIn(deaths)),
                         [](const auto& row) {
                             return std::string(wireText(std::get<0>(row.param))) + "_" + std::get<1>(row.param).name;
                         });

struct StuckCase {
    const char* name;
    const char* agent;
    const char* shell;  // runs the hook; $0 is the engine, $1 the agent, $2 a scratch folder
};

class StuckHook : public DaemonFixture, public ::testing::WithParamInterface<StuckCase> {};

// Whatever the hook waits on, it ends by itself with a deny in the agent's format, long before
// the agent's own time-out would end it without one.
TEST_P(StuckHook, DeniesAtItsOwnDeadline) {
    std::filesystem::create_directories(std::filesystem::path(VardexPaths::socketPath()).parent_path());
    TestDaemon daemonThatNeverAnswers(VardexPaths::socketPath(), scripts::silent());
    ScopedEnv deadline("VARDEX_HOOK_SECONDS", "1");
    const auto* adapter = engine::agentHook(GetParam().agent);
    ASSERT_NE(adapter, nullptr);
    const std::vector<std::string> argv{"-c", GetParam().shell, VARDEX_ENGINE_EXE, GetParam().agent, runs().string()};
    const auto run = EngineRun(runs(), "/bin/sh", argv, std::string(adapter->probeInput)).finish();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(adapter->decisionIn(nlohmann::json::parse(run.out, nullptr, false)), Outcome::deny) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Waits, StuckHook, ::testing::Values(
        StuckCase{"claude_daemon_never_answers", "claude", "exec \"$0\" hook \"$1\""},
        // The hook itself holds the pipe's writing end, so its input never ends.
        StuckCase{"cursor_input_never_ends", "cursor", "mkfifo \"$2/in\" && exec 3<>\"$2/in\" && exec \"$0\" hook \"$1\" <\"$2/in\""},
        StuckCase{"codex_input_without_end", "codex", "exec \"$0\" hook \"$1\" </dev/zero"}), byName);

class HookEntryTimeout : public ::testing::TestWithParam<HookFamily> {};

// The agent waits longer than the hook ever does, in the agent's own unit.
TEST_P(HookEntryTimeout, OutlastsTheHooksOwnDeadline) {
    const auto family = GetParam();
    const auto text = engine::withHook(std::nullopt, family, "vardex hook x");
    ASSERT_TRUE(text.ok());
    const auto& format = engine::hookFileFormat(family);
    const auto list = nlohmann::json::parse(*text)["hooks"][std::string(format.events.front())];
    const auto entry = format.grouped ? list[0]["hooks"][0] : list[0];
    if (!format.timeout) {
        EXPECT_FALSE(entry.contains("timeout")) << entry.dump();
        return;
    }
    const double perSecond = family == HookFamily::gemini ? 1000 : 1;
    EXPECT_GT(entry["timeout"].get<double>() / perSecond, engine::HookCore::deadlineSeconds(1e9, std::nullopt) + 10)
        << entry.dump();
}

INSTANTIATE_TEST_SUITE_P(Families, HookEntryTimeout, ::testing::ValuesIn(engine::hookFamilies),
                         [](const auto& row) { return std::string(wireText(row.param)); });

}  // namespace
}  // namespace vardex::testing
