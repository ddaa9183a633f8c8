#include <gtest/gtest.h>

#include "protocol/line_codec.hpp"

namespace vardex {
namespace {

ApprovalRequest sampleRequest() {
    ApprovalRequest request;
    request.id = "r1";
    request.actionSummary = "sudo ls\nsecond line";
    request.rule = "priv.sudo";
    request.severity = Severity::high;
    request.risk = *RiskScore::make(0.5);
    request.reasonUser = "needs root \"quoted\"";
    request.agent = {AgentKind::cursor, "s", "/w", true};
    return request;
}

TEST(EncodeLine, WritesTheHandshakeLinesExactly) {
    EXPECT_EQ(*encodeLine(IpcMessage::hello(IpcRole::ui)), "{\"role\":\"ui\",\"type\":\"hello\",\"version\":1}\n");
    EXPECT_EQ(*encodeLine(IpcMessage::hello(IpcRole::client)), "{\"role\":\"client\",\"type\":\"hello\",\"version\":1}\n");
    EXPECT_EQ(*encodeLine(IpcMessage::ping()), "{\"type\":\"ping\"}\n");
    EXPECT_EQ(*encodeLine(IpcMessage::subscribe()), "{\"type\":\"subscribe\"}\n");
    EXPECT_EQ(*encodeLine(IpcMessage::approvalResponse({"r1", ApprovalVerdict::allowOnce, "menubar"})),
              "{\"by\":\"menubar\",\"id\":\"r1\",\"type\":\"approval_response\",\"verdict\":\"allow_once\"}\n");
}

TEST(EncodeLine, EndsInItsOnlyLineFeedWithKeysSorted) {
    auto line = encodeLine(IpcMessage::approvalRequest(sampleRequest()));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->find('\n'), line->size() - 1);
    EXPECT_EQ(line->find('\r'), std::string::npos);
    EXPECT_EQ(*line,
              "{\"action_summary\":\"sudo ls\\nsecond line\",\"agent\":{\"agent\":\"cursor\","
              "\"autonomous\":true,\"cwd\":\"/w\",\"session_id\":\"s\"},\"id\":\"r1\","
              "\"reason_user\":\"needs root \\\"quoted\\\"\",\"risk\":0.5,\"rule\":\"priv.sudo\","
              "\"severity\":\"high\",\"type\":\"approval_request\"}\n");
}

TEST(EncodeLine, RefusesTextThatIsNotUTF8) {
    auto request = sampleRequest();
    request.reasonUser = "bad \xff byte";
    auto line = encodeLine(IpcMessage::approvalRequest(request));
    ASSERT_FALSE(line);
    EXPECT_TRUE(line.error().is(SocketClientError::Kind::invalidUTF8));
}

struct TrimCase {
    const char* name;
    std::string text;
    bool decodes;
    std::string error;  // description when it fails, "" to skip the check
};

class DecodeLineTrim : public ::testing::TestWithParam<TrimCase> {};

TEST_P(DecodeLineTrim, TrimsOnlyLineBreaksAtTheEnds) {
    const auto& c = GetParam();
    auto message = decodeLine(c.text);
    EXPECT_EQ(static_cast<bool>(message), c.decodes);
    if (message) {
        EXPECT_EQ(*message, IpcMessage::ping());
    } else if (!c.error.empty()) {
        EXPECT_EQ(message.error().description(), c.error);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeLineTrim,
    ::testing::Values(TrimCase{"Empty", "", false, "empty JSON line"},
                      TrimCase{"OnlyBreaks", "\r\n\n\r", false, "empty JSON line"},
                      TrimCase{"Spaces", "   ", false, ""},
                      TrimCase{"CrLfAfter", "{\"type\":\"ping\"}\r\n", true, ""},
                      TrimCase{"LeadingFeed", "\n{\"type\":\"ping\"}", true, ""},
                      TrimCase{"InnerSpaces", " {\"type\" : \"ping\"} ", true, ""},
                      TrimCase{"InvalidUTF8", "{\"type\":\"ping\",\"x\":\"\xc3\x28\"}", false,
                               "invalid UTF-8 in JSON line"},
                      TrimCase{"NotJSON", "{\"type\":", false, ""},
                      TrimCase{"NotAnObject", "[1,2]", false, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DecodeLine, RoundTripsEveryMessageType) {
    DecisionEvent event = DecisionEvent::fromApproval(sampleRequest(), ApprovalVerdict::deny);
    for (const IpcMessage& message :
         {IpcMessage::hello(IpcRole::ui), IpcMessage::approvalRequest(sampleRequest()),
          IpcMessage::approvalResponse({"x", ApprovalVerdict::alwaysAllow, "menubar"}),
          IpcMessage::event(event), IpcMessage::subscribe(), IpcMessage::ping()}) {
        auto line = encodeLine(message);
        ASSERT_TRUE(line);
        auto back = decodeLine(*line);
        ASSERT_TRUE(back) << *line << ": " << back.error().description();
        EXPECT_EQ(*back, message) << *line;
    }
}

}  // namespace
}  // namespace vardex
