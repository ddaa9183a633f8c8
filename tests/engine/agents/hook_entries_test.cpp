#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

struct ProgramCase {
    const char* command;
    HookFamily family;
    std::optional<std::string> program;
};

class HookProgramTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(HookProgramTest, RecognisesOnlyTheEnginesOwnHook) {
    EXPECT_EQ(hookProgram(GetParam().command, GetParam().family), GetParam().program);
}

INSTANTIATE_TEST_SUITE_P(Commands, HookProgramTest, ::testing::Values(ProgramCase{"/opt/v/vardex hook claude", HookFamily::claude, "/opt/v/vardex"},
                      ProgramCase{"'/home/a b/vardex' hook codex", HookFamily::codex, "/home/a b/vardex"},
                      ProgramCase{"/opt/v/vardex hook claude", HookFamily::cursor, std::nullopt},
                      ProgramCase{"/opt/v/vardex hook claude --verbose", HookFamily::claude, std::nullopt},
                      ProgramCase{"'/unclosed/vardex hook claude", HookFamily::claude, std::nullopt},
                      ProgramCase{R"("/x/a \"b\" \c/vardex" hook claude)", HookFamily::claude, R"(/x/a "b" \c/vardex)"},
                      ProgramCase{"\"/unclosed/vardex hook claude", HookFamily::claude, std::nullopt},
                      ProgramCase{"/opt/v/vardex hook claude || exit 2", HookFamily::claude, "/opt/v/vardex"},
                      ProgramCase{"/opt/v/vardex hook claude || exit 0", HookFamily::claude, std::nullopt},
                      ProgramCase{"/opt/v/vardex hook claude || exit 2; my-linter", HookFamily::claude, std::nullopt},
                      ProgramCase{"", HookFamily::claude, std::nullopt}), testing::byText<&ProgramCase::command>);

TEST(HookCommandTest, QuotesPathsTheShellWouldSplitAndReadsThemBack) {
    for (const std::string path : {"/usr/bin/vardex", "/home/a b/vardex", "/x/it's/vardex", "/x/$HOME/vardex"}) {
        const auto command = hookCommand(path, HookFamily::claude);
        EXPECT_EQ(hookProgram(command, HookFamily::claude), path) << command;
    }
    EXPECT_EQ(hookCommand("/usr/bin/vardex", HookFamily::cursor), "/usr/bin/vardex hook cursor || exit 2");
}

const std::string userClaudeSettings = R"({"model": "opus", "permissions": {"allow": ["Read"]}, "hooks": {
    "PreToolUse": [{"matcher": "Bash", "hooks": [{"type": "command", "command": "my-linter"}]}],
    "Stop": [{"hooks": [{"type": "command", "command": "notify-send done"}]}]}})";

TEST(HookEntriesTest, ClaudeHookJoinsTheUsersHooksAndLeavesWithoutATrace) {
    const auto installed = withHook(userClaudeSettings, HookFamily::claude, "/e/vardex hook claude");
    ASSERT_TRUE(installed.ok());
    EXPECT_EQ(json::parse(*installed)["hooks"]["PreToolUse"], json::parse(R"([{"matcher": "Bash", "hooks": [{"type": "command", "command": "my-linter"}]},
        {"matcher":"*","hooks":[{"type":"command","command":"/e/vardex hook claude","timeout":300}]}])"));
    EXPECT_EQ(hookPrograms(*installed, HookFamily::claude), std::vector<std::string>{"/e/vardex"});

    const auto removed = withoutHook(*installed, HookFamily::claude);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(json::parse(*removed), json::parse(userClaudeSettings));
    EXPECT_FALSE(withoutHook(*removed, HookFamily::claude).has_value()) << "nothing of ours is left";
}

TEST(HookEntriesTest, ReinstallingReplacesAHookOfAnEngineThatMoved) {
    const auto first = withHook(std::nullopt, HookFamily::cursor, "/old/vardex hook cursor");
    ASSERT_TRUE(first.ok());
    const auto second = withHook(*first, HookFamily::cursor, "/new/vardex hook cursor");
    ASSERT_TRUE(second.ok());
    const auto j = json::parse(*second);
    EXPECT_EQ(j["version"], 1);
    for (const auto event : hookEvents(HookFamily::cursor)) {
        EXPECT_EQ(j["hooks"][std::string(event)], json::parse(R"([{"command":"/new/vardex hook cursor"}])")) << event;
    }
    EXPECT_EQ(hookPrograms(*second, HookFamily::cursor).size(), hookEvents(HookFamily::cursor).size());
}

TEST(HookEntriesTest, AGroupTheUserSharesWithTheEngineKeepsTheUsersCommand) {
    const std::string shared = R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[
        {"type":"command","command":"my-audit"},{"type":"command","command":"/e/vardex hook codex"}]}]}})";
    const auto removed = withoutHook(shared, HookFamily::codex);
    ASSERT_TRUE(removed.has_value());
    EXPECT_EQ(json::parse(*removed),
              json::parse(R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[{"type":"command","command":"my-audit"}]}]}})"));
}

struct ShapeCase {
    const char* text;
    const char* problem;
};

class RefusedShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(RefusedShapeTest, AFileTheEngineCannotReadSafelyIsRefused) {
    const auto installed = withHook(std::string(GetParam().text), HookFamily::claude, "/e/vardex hook claude");
    ASSERT_FALSE(installed.ok());
    EXPECT_EQ(installed.error().problem, GetParam().problem);
}

INSTANTIATE_TEST_SUITE_P(Shapes, RefusedShapeTest, ::testing::Values(ShapeCase{"{\"model\": ", "is not valid JSON"},
                      ShapeCase{R"({"hooks": []})", "has a \"hooks\" entry that is not an object"},
                      ShapeCase{R"({"hooks": {"PreToolUse": {}}})", "has a \"hooks.PreToolUse\" entry that is not a list"}), testing::byText<&ShapeCase::problem>);

TEST(HookEntriesTest, ABlankFileIsAnEmptyConfiguration) {
    const auto installed = withHook(std::string(" \n"), HookFamily::claude, "/e/vardex hook claude");
    ASSERT_TRUE(installed.ok());
    EXPECT_EQ(withoutHook(*installed, HookFamily::claude), "{}\n");
}

}  // namespace
}  // namespace vardex::engine
