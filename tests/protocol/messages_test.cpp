#include <gtest/gtest.h>

#include <cmath>

#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

const char* kRequest =
    R"({"type":"approval_request","id":"r","action_summary":"ls","severity":"critical","risk":0.9,)"
    R"("reason_user":"why","agent":{"agent":"claude","session_id":"s","cwd":"/","autonomous":false}})";

struct BadLine {
    const char* name;
    std::string line;
    std::string description;
};

class RejectedLine : public ::testing::TestWithParam<BadLine> {};

TEST_P(RejectedLine, FailsWithItsText) {
    auto message = decodeLine(GetParam().line);
    ASSERT_FALSE(message);
    EXPECT_EQ(message.error().description(), GetParam().description);
}

std::string requestWith(const std::string& key, const std::string& json) {
    auto tree = nlohmann::json::parse(kRequest);
    if (json.empty()) {
        tree.erase(key);
    } else {
        tree[key] = nlohmann::json::parse(json);
    }
    return tree.dump();
}

INSTANTIATE_TEST_SUITE_P(
    Messages, RejectedLine,
    ::testing::Values(
        BadLine{"UnknownType", R"({"type":"evaluate"})", "unknown IPC type evaluate"},
        BadLine{"MissingType", R"({"id":"x"})", "missing member \"type\""},
        BadLine{"TypeNotText", R"({"type":3})", "member \"type\" is not text but a number"},
        BadLine{"HelloWithoutVersion", R"({"type":"hello","role":"ui"})", "missing member \"version\""},
        BadLine{"HelloUnknownRole", R"({"type":"hello","role":"admin","version":1})",
                "unknown value \"admin\" for member \"role\""},
        BadLine{"HelloFractionalVersion", R"({"type":"hello","role":"ui","version":1.5})",
                "member \"version\" is not a whole number in range but a number"},
        BadLine{"HelloVersionTwoToTheSixtyThree", R"({"type":"hello","role":"ui","version":9223372036854775808.0})",
                "member \"version\" is not a whole number in range but a number"},
        BadLine{"RiskAboveOne", requestWith("risk", "1.0000001"),
                "risk score must be a finite number in 0.0...1.0, got 1.0000001"},
        BadLine{"RiskNegative", requestWith("risk", "-1"),
                "risk score must be a finite number in 0.0...1.0, got -1.0"},
        BadLine{"RiskHuge", requestWith("risk", "2"),
                "risk score must be a finite number in 0.0...1.0, got 2.0"},
        BadLine{"RiskAsText", requestWith("risk", "\"0.5\""),
                "member \"risk\" is not a number but text"},
        BadLine{"MissingReason", requestWith("reason_user", ""), "missing member \"reason_user\""},
        BadLine{"NullId", requestWith("id", "null"), "member \"id\" is null, expected text"},
        BadLine{"AgentWithoutAutonomous",
                requestWith("agent", R"({"agent":"claude","session_id":"s","cwd":"/"})"),
                "missing member \"autonomous\""},
        BadLine{"UnknownAgent",
                requestWith("agent", R"({"agent":"vim","session_id":"s","cwd":"/","autonomous":true})"),
                "unknown value \"vim\" for member \"agent\""},
        BadLine{"UnknownSeverity", requestWith("severity", "\"severe\""),
                "unknown value \"severe\" for member \"severity\""},
        BadLine{"UnknownVerdict", R"({"type":"approval_response","id":"r","verdict":"maybe","by":"x"})",
                "unknown value \"maybe\" for member \"verdict\""},
        BadLine{"EventWithoutDecision", R"({"type":"event"})", "missing member \"decision\""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ApprovalRequest, AbsentAndNullRuleReadAlike) {
    auto absent = decodeLine(kRequest);
    auto null = decodeLine(requestWith("rule", "null"));
    ASSERT_TRUE(absent);
    ASSERT_TRUE(null);
    EXPECT_EQ(*absent, *null);
    EXPECT_FALSE(absent->asRequest()->rule);
    EXPECT_FALSE(absent->asRequest()->offersAlwaysAllow());
    EXPECT_FALSE(absent->asResponse());
}

struct RiskCase {
    double value;
    bool accepted;
};

class RiskRange : public ::testing::TestWithParam<RiskCase> {};

TEST_P(RiskRange, AcceptsOnlyFiniteUnitInterval) {
    EXPECT_EQ(static_cast<bool>(RiskScore::make(GetParam().value)), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Bounds, RiskRange,
                         ::testing::Values(RiskCase{0.0, true}, RiskCase{1.0, true},
                                           RiskCase{0.5, true}, RiskCase{-0.0, true},
                                           RiskCase{1.0000001, false}, RiskCase{-1e-9, false},
                                           RiskCase{std::nan(""), false},
                                           RiskCase{INFINITY, false}));

TEST(RiskScore, ErrorShowsShortestDecimal) {
    EXPECT_EQ(RiskScore::make(std::nan("")).error().description(),
              "risk score must be a finite number in 0.0...1.0, got nan");
    EXPECT_EQ(RiskScore::make(-INFINITY).error().description(),
              "risk score must be a finite number in 0.0...1.0, got -inf");
    EXPECT_EQ(RiskScore::make(1e20).error().description(),
              "risk score must be a finite number in 0.0...1.0, got 1e+20");
}

TEST(Decision, MissingListAndRuleReadAsEmptyAndAreWrittenBackSo) {
    auto decision = ProtocolJSON::decode<Decision>(
        R"({"outcome":"ask","severity":"low","reason_user":"u","reason_agent":"a","risk_score":0.25})");
    ASSERT_TRUE(decision) << decision.error().description();
    EXPECT_TRUE(decision->matchedRuleIds.empty());
    EXPECT_FALSE(decision->ruleId);
    EXPECT_EQ(*ProtocolJSON::encode(*decision),
              R"({"matched_rule_ids":[],"outcome":"ask","reason_agent":"a","reason_user":"u","risk_score":0.25,"severity":"low"})");
}

struct VerdictCase {
    ApprovalVerdict verdict;
    Outcome outcome;
    const char* reasonAgent;
};

class FromApproval : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(FromApproval, CopiesTheRequestAndExplainsTheVerdict) {
    ApprovalRequest request;
    request.id = "r";
    request.actionSummary = "git push";
    request.rule = "net.push";
    request.severity = Severity::medium;
    request.risk = *RiskScore::make(0.4);
    request.reasonUser = "pushes code";
    request.agent = {AgentKind::codex, "sess", "/w", false};

    DecisionEvent event = DecisionEvent::fromApproval(request, GetParam().verdict);
    EXPECT_EQ(event.agent, AgentKind::codex);
    EXPECT_EQ(event.session, "sess");
    EXPECT_EQ(event.ruleId, "net.push");
    EXPECT_EQ(event.matchedRuleIds, std::vector<std::string>{"net.push"});
    EXPECT_EQ(event.decision, GetParam().outcome);
    EXPECT_EQ(event.severity, Severity::medium);
    EXPECT_EQ(event.riskScore.value(), 0.4);
    EXPECT_EQ(event.reasonUser, "pushes code");
    EXPECT_EQ(event.reasonAgent, GetParam().reasonAgent);
    EXPECT_EQ(event.actionSummary, "git push");
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, FromApproval,
    ::testing::Values(
        VerdictCase{ApprovalVerdict::allowOnce, Outcome::allow, "Allowed once by the user via Talvenor Vardex."},
        VerdictCase{ApprovalVerdict::allowSession, Outcome::allow,
                    "Allowed for this session by the user via Talvenor Vardex."},
        VerdictCase{ApprovalVerdict::alwaysAllow, Outcome::allow, "Always allowed by the user via Talvenor Vardex."},
        VerdictCase{ApprovalVerdict::deny, Outcome::deny, "Denied by the user via Talvenor Vardex; do not retry."}));

TEST(FromApproval, WithoutRuleHasNoMatches) {
    ApprovalRequest request;
    auto event = DecisionEvent::fromApproval(request, ApprovalVerdict::allowSession);
    EXPECT_EQ(event.decision, Outcome::allow);
    EXPECT_FALSE(event.ruleId);
    EXPECT_TRUE(event.matchedRuleIds.empty());
}

}  // namespace
}  // namespace vardex
