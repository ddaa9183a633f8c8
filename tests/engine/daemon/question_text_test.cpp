#include <gtest/gtest.h>

#include "daemon/action_record.hpp"
#include "daemon/question_text.hpp"
#include "support/case_name.hpp"
#include "protocol/protocol_json.hpp"

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
        ArgumentsCase{"none", "{}", 4096, "{}"},
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

}  // namespace
}  // namespace vardex::testing
