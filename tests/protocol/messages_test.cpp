#include <gtest/gtest.h>

#include <cmath>

#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

// The exact bytes of every message type are checked against the sample files.

// A request line with its other members in place; how each member type is read is shared by
// every message, so one case of each kind of fault stands for all.
std::string request(const std::string& members) {
    return R"({"type":"approval_request","action_summary":"ls","severity":"critical","reason_user":"why",)"
           R"("agent":{"agent":"codex","session_id":"s","cwd":"/","autonomous":false},)" + members + "}";
}

// Only line breaks are trimmed from the ends, and what is left must be one JSON object.
struct LineCase { const char* name; std::string line, error; };  // no error when the line is a ping

class DecodeLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(DecodeLineTest, DecodesAPingOrSaysWhyNot) {
    auto message = decodeLine(GetParam().line);
    EXPECT_EQ(message ? "" : message.error().description(), GetParam().error);
    EXPECT_TRUE(!message || *message == IpcMessage::ping());
}

INSTANTIATE_TEST_SUITE_P(Lines, DecodeLineTest, ::testing::Values(
        LineCase{"UnknownType", R"({"type":"evaluate"})", "unknown IPC type evaluate"},
        LineCase{"TypeNotText", R"({"type":3})", "member \"type\" is not text but a number"},
        LineCase{"HelloFractionalVersion", R"({"type":"hello","role":"ui","version":1.5})",
                 "member \"version\" is not a whole number in range but a number"},
        LineCase{"HelloVersionTwoToTheSixtyThree", R"({"type":"hello","role":"ui","version":9223372036854775808.0})",
                 "member \"version\" is not a whole number in range but a number"},
        LineCase{"RiskAboveOne", request(R"("id":"r","risk":1.0000001)"), "risk score must be a finite number in 0.0...1.0, got 1.0000001"},
        LineCase{"RiskAsText", request(R"("id":"r","risk":"0.5")"), "member \"risk\" is not a number but text"},
        LineCase{"NullId", request(R"("id":null,"risk":0.5)"), "member \"id\" is null, expected text"},
        LineCase{"OnlyBreaks", "\r\n\n\r", "empty JSON line"}, LineCase{"LeadingFeedAndCrLf", "\n{\"type\":\"ping\"}\r\n", ""},
        LineCase{"InnerSpaces", " {\"type\" : \"ping\"} ", ""},
        LineCase{"InvalidUTF8", "{\"type\":\"ping\",\"x\":\"\xc3\x28\"}", "invalid UTF-8 in JSON line"},
        LineCase{"NotAnObject", "[1,2]", "member \"message\" is not an object but an array"}), testing::caseName);

// Refused values show the shortest decimal that reads back.
struct RiskCase { const char* name; double value; std::string error; };  // after "got "; none when accepted

class RiskRange : public ::testing::TestWithParam<RiskCase> {};

TEST_P(RiskRange, AcceptsOnlyFiniteUnitInterval) {
    const auto risk = RiskScore::make(GetParam().value);
    const std::string refused = "risk score must be a finite number in 0.0...1.0, got ";
    EXPECT_EQ(risk ? "" : risk.error().description(), GetParam().error.empty() ? "" : refused + GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Bounds, RiskRange, ::testing::Values(
        RiskCase{"Zero", 0.0, ""}, RiskCase{"One", 1.0, ""}, RiskCase{"NegativeZero", -0.0, ""},
        RiskCase{"JustBelowZero", -1e-9, "-1e-09"}, RiskCase{"Two", 2.0, "2.0"},
        RiskCase{"Huge", 1e20, "1e+20"}, RiskCase{"NaN", std::nan(""), "nan"},
        RiskCase{"MinusInfinity", -INFINITY, "-inf"}), testing::caseName);

TEST(FromApproval, CopiesTheRequestAndExplainsTheVerdict) {
    auto asked = decodeLine(request(R"("id":"r","risk":0.4,"rule":"net.push")"))->asRequest().value();
    EXPECT_EQ(DecisionEvent::fromApproval(asked, ApprovalVerdict::deny),
              (DecisionEvent{AgentKind::codex, "s", "net.push", Outcome::deny, Severity::critical, *RiskScore::make(0.4),
                             "why", "Denied by the user via Talvenor Vardex; do not retry.", {"net.push"}, "ls"}));
    asked.rule.reset();
    const auto allowed = DecisionEvent::fromApproval(asked, ApprovalVerdict::allowSession);
    EXPECT_EQ(allowed.decision, Outcome::allow);
    EXPECT_TRUE(allowed.matchedRuleIds.empty());
}

}  // namespace
}  // namespace vardex
