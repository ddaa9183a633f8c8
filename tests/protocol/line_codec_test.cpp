#include <gtest/gtest.h>

#include "protocol/line_codec.hpp"

namespace vardex {
namespace {

// The exact bytes of every message type are checked against the sample files.
ApprovalRequest requestGiving(std::string reason) {
    ApprovalRequest request;
    request.id = "r1";
    request.actionSummary = "sudo ls\nsecond line";
    request.reasonUser = std::move(reason);
    return request;
}

TEST(EncodeLine, ALineBreakInTextStaysInsideTheOneLine) {
    auto line = encodeLine(IpcMessage::approvalRequest(requestGiving("needs root")));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->find('\n'), line->size() - 1);
    EXPECT_NE(line->find(R"("sudo ls\nsecond line")"), std::string::npos);
}

TEST(EncodeLine, RefusesTextThatIsNotUTF8) {
    auto line = encodeLine(IpcMessage::approvalRequest(requestGiving("bad \xff byte")));
    ASSERT_FALSE(line);
    EXPECT_TRUE(line.error().is(SocketClientError::Kind::invalidUTF8));
}

// Only line breaks are trimmed from the ends, and what is left must be one JSON object.
struct LineCase {
    const char* name;
    std::string text;
    std::string error;  // "" when the line is a ping
};

class DecodeLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(DecodeLineTest, DecodesAPingOrSaysWhyNot) {
    auto message = decodeLine(GetParam().text);
    EXPECT_EQ(message ? "" : message.error().description(), GetParam().error);
    EXPECT_TRUE(!message || *message == IpcMessage::ping());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeLineTest,
    ::testing::Values(LineCase{"OnlyBreaks", "\r\n\n\r", "empty JSON line"},
                      LineCase{"LeadingFeedAndCrLf", "\n{\"type\":\"ping\"}\r\n", ""},
                      LineCase{"InnerSpaces", " {\"type\" : \"ping\"} ", ""},
                      LineCase{"InvalidUTF8", "{\"type\":\"ping\",\"x\":\"\xc3\x28\"}", "invalid UTF-8 in JSON line"},
                      LineCase{"NotAnObject", "[1,2]", "member \"message\" is not an object but an array"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vardex
