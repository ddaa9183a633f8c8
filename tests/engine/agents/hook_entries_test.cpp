#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include <nlohmann/json.hpp>

#include "agents/hook_entries.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

const std::string olderDenial =
    R"(out=$(/opt/v/vardex hook cursor) && printf '%s\n' "$out" || { printf '%s\n' '{"permission":"deny"}'; exit 2; })";

struct ProgramCase {
    std::string command;
    HookFamily family;
    std::optional<std::string> program = {};
    bool current = false;
};

class InstalledHookTest : public ::testing::TestWithParam<ProgramCase> {};

TEST_P(InstalledHookTest, RecognisesOnlyTheEnginesOwnHookAndTellsItsAge) {
    const auto found = installedHook(GetParam().command, GetParam().family);
    EXPECT_EQ(found ? std::optional(found->program) : std::nullopt, GetParam().program);
    if (found) {
        EXPECT_EQ(found->current, GetParam().current);
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, InstalledHookTest, ::testing::Values(
        ProgramCase{hookCommand("/opt/v/vardex", HookFamily::gemini), HookFamily::gemini, "/opt/v/vardex", true},
        ProgramCase{hookCommand("/home/a b/vardex", HookFamily::cursor), HookFamily::cursor, "/home/a b/vardex", true},
        ProgramCase{hookCommand("/x/it's/vardex", HookFamily::claude), HookFamily::claude, "/x/it's/vardex", true},
        ProgramCase{hookCommand("/x/$HOME/vardex", HookFamily::claude), HookFamily::claude, "/x/$HOME/vardex", true},
        ProgramCase{hookCommand("/opt/v/vardex", HookFamily::cursor), HookFamily::claude, std::nullopt},
        ProgramCase{hookCommand("/opt/v/vardex-old", HookFamily::codex), HookFamily::codex, std::nullopt},
        ProgramCase{olderDenial, HookFamily::cursor, "/opt/v/vardex", false},
        ProgramCase{olderDenial.substr(0, olderDenial.size() - 11) + "; exit 0; }", HookFamily::cursor, std::nullopt},
        ProgramCase{"/opt/v/vardex hook claude", HookFamily::claude, "/opt/v/vardex"},
        ProgramCase{"'/home/a b/vardex' hook codex", HookFamily::codex, "/home/a b/vardex"},
        ProgramCase{"/opt/v/vardex hook claude --verbose", HookFamily::claude, std::nullopt},
        ProgramCase{"'/unclosed/vardex hook claude", HookFamily::claude, std::nullopt},
        ProgramCase{R"("/x/a \"b\" \c/vardex" hook claude)", HookFamily::claude, R"(/x/a "b" \c/vardex)"},
        ProgramCase{"\"/unclosed/vardex hook claude", HookFamily::claude, std::nullopt},
        ProgramCase{"/opt/v/vardex hook claude || exit 2", HookFamily::claude, "/opt/v/vardex"},
        ProgramCase{"/opt/v/vardex hook claude || exit 0", HookFamily::claude, std::nullopt},
        ProgramCase{"/opt/v/vardex hook claude || exit 2; my-linter", HookFamily::claude, std::nullopt},
        ProgramCase{"", HookFamily::claude, std::nullopt}), testing::byText<&ProgramCase::command>);

// How the lines of a text are indented and ended.
enum class Manner { spaces2, spaces4, tabs, crlf, oneLine };

bool writtenIn(const std::string& text, Manner manner) {
    if (manner == Manner::oneLine) return text.find('\n') == std::string::npos;
    for (auto at = text.find('\n'); manner == Manner::crlf && at != std::string::npos; at = text.find('\n', at + 1)) {
        if (at == 0 || text[at - 1] != '\r') return false;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto indent = line.find_first_not_of(manner == Manner::tabs ? "\t" : " ");
        if (indent == std::string::npos) continue;
        if (manner != Manner::tabs && line[indent] == '\t') return false;
        if (manner == Manner::tabs && line[indent] == ' ') return false;
        const std::size_t width = manner == Manner::spaces4 ? 4 : manner == Manner::tabs ? 1 : 2;
        if (indent % width != 0) return false;
    }
    return true;
}

struct FileCase {
    const char* name;
    HookFamily family;
    std::string text;
    Manner manner;
    std::optional<std::string> cleaned = {};  // what removal leaves; none: the text itself, byte for byte
};

class UsersFileTest : public ::testing::TestWithParam<FileCase> {};

// The engine's entries go in and out of a user's file without changing a byte of the rest, and
// look as if the user had written them.
TEST_P(UsersFileTest, KeepsEveryOtherByte) {
    const auto& c = GetParam();
    const auto command = hookCommand("/e/vardex", c.family);
    const auto installed = withHook(c.text, c.family, command);
    ASSERT_TRUE(installed.ok()) << installed.error().problem;
    const auto found = installedHooks(*installed, c.family);
    EXPECT_EQ(found.size(), hookEvents(c.family).size()) << *installed;
    EXPECT_TRUE(std::all_of(found.begin(), found.end(), [](const InstalledHook& h) { return h.current; }));
    EXPECT_TRUE(writtenIn(*installed, c.manner)) << *installed;
    EXPECT_EQ(withHook(*installed, c.family, command).value(), *installed) << "installing again changes nothing";
    EXPECT_EQ(withoutHook(*installed, c.family), c.cleaned.value_or(c.text)) << *installed;
}

INSTANTIATE_TEST_SUITE_P(Files, UsersFileTest, ::testing::Values(
        FileCase{"claude_tabs_and_numbers_as_typed", HookFamily::claude, "{\n\t\"model\": \"opus\",\n\t\"cost\": 1.50,\n\t\"hooks\": {\n\t\t\"Stop\": [{\"hooks\": [{\"type\": \"command\", \"command\": \"notify-send done\"}]}]\n\t}\n}\n", Manner::tabs},
        FileCase{"codex_beside_the_users_group", HookFamily::codex, "{\n    \"hooks\": {\n        \"PreToolUse\": [\n            {\"matcher\": \"shell\", \"hooks\": [{\"type\": \"command\", \"command\": \"./lint\"}]}\n        ]\n    }\n}", Manner::spaces4},
        FileCase{"cursor_windows_line_endings", HookFamily::cursor, "{\r\n  \"version\": 1,\r\n  \"hooks\": {\r\n    \"beforeShellExecution\": [\r\n      {\r\n        \"command\": \"./audit.sh\"\r\n      }\r\n    ]\r\n  }\r\n}\r\n", Manner::crlf},
        FileCase{"gemini_on_one_line", HookFamily::gemini, R"({"theme":"Dracula","general":{"vimMode":true},"ui":{"footer":"caf\u00e9"}})", Manner::oneLine},
        FileCase{"gemini_settings_without_hooks", HookFamily::gemini, "{\n    \"mcpServers\": {\"docs\": {\"command\": \"docs-mcp\"}},\n    \"security\": {\"auth\": {\"selectedType\": \"oauth-personal\"}}\n}\n", Manner::spaces4},
        FileCase{"empty_object", HookFamily::claude, "{}", Manner::spaces2},
        FileCase{"a_list_left_empty_goes", HookFamily::gemini, "{\"hooks\": {\"BeforeTool\": [], \"AfterTool\": []}}", Manner::oneLine, "{\"hooks\": {\"AfterTool\": []}}"},
        FileCase{"cursor_gets_its_version", HookFamily::cursor, "{\n  \"hooks\": {}\n}", Manner::spaces2, "{\n  \"version\": 1\n}"}),
    testing::byName);

TEST(HookEntriesTest, AnOlderEngineEntryIsReplacedWhereTheUsersStay) {
    const std::string older = R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[
        {"type":"command","command":"my-audit"},{"type":"command","command":"/e/vardex hook claude || exit 2"}]}]}})";
    EXPECT_FALSE(installedHooks(older, HookFamily::claude).front().current);
    const auto upgraded = withHook(older, HookFamily::claude, hookCommand("/e/vardex", HookFamily::claude));
    ASSERT_TRUE(upgraded.ok());
    const auto found = installedHooks(*upgraded, HookFamily::claude);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found.front().current);
    EXPECT_EQ(json::parse(*upgraded)["hooks"]["PreToolUse"][0]["hooks"],
              json::parse(R"([{"type":"command","command":"my-audit"}])"));
}

TEST(HookEntriesTest, ReinstallingReplacesAHookOfAnEngineThatMoved) {
    const auto first = withHook(std::nullopt, HookFamily::cursor, hookCommand("/old/vardex", HookFamily::cursor));
    ASSERT_TRUE(first.ok());
    const auto command = hookCommand("/new/vardex", HookFamily::cursor);
    const auto second = withHook(*first, HookFamily::cursor, command);
    ASSERT_TRUE(second.ok());
    const auto j = json::parse(*second);
    EXPECT_EQ(j["version"], 1);
    for (const auto event : hookEvents(HookFamily::cursor)) {
        EXPECT_EQ(j["hooks"][std::string(event)], json::array({{{"command", command}}})) << event;
    }
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

INSTANTIATE_TEST_SUITE_P(Shapes, RefusedShapeTest, ::testing::Values(ShapeCase{R"({"hooks": []})", "has a \"hooks\" entry that is not an object"},
                      ShapeCase{R"({"hooks": {"PreToolUse": {}}})", "has a \"hooks.PreToolUse\" entry that is not a list"},
                      ShapeCase{R"({"hooks": {}, "hooks": {"Stop": []}})", "has more than one \"hooks\" entry"},
                      ShapeCase{R"({"hooks": {"PreToolUse": [], "PreToolUse": []}})", "has more than one \"hooks.PreToolUse\" entry"}),
                      testing::byText<&ShapeCase::problem>);

TEST(HookEntriesTest, ABlankFileIsAnEmptyConfiguration) {
    const auto installed = withHook(std::string(" \n"), HookFamily::claude, "/e/vardex hook claude");
    ASSERT_TRUE(installed.ok());
    EXPECT_EQ(withoutHook(*installed, HookFamily::claude), "{}\n");
}

}  // namespace
}  // namespace vardex::engine
