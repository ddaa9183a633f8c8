#include <gtest/gtest.h>

#include "protocol/protocol_json.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

const std::string kContext = R"("context":{"agent":"shim","session_id":"s","cwd":"/","autonomous":false})";
const std::string kShell = R"("kind":"shell","raw":"x","cwd":"/","argv_tree":)";

// Tree shapes and write-back of every kind are covered by the sample files; these are the
// actions a daemon could send that must be refused, each with the sentence that says why.
struct Rejected { const char* name; std::string members, description; };

class RejectedAction : public ::testing::TestWithParam<Rejected> {};

TEST_P(RejectedAction, FailsWithItsText) {
    auto action = ProtocolJSON::decode<Action>("{" + kContext + "," + GetParam().members + "}");
    ASSERT_FALSE(action);
    EXPECT_EQ(action.error().description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(Actions, RejectedAction, ::testing::Values(
        Rejected{"UnknownKind", R"("kind":"teleport")", "unknown action kind teleport"},
        Rejected{"UnknownNestedNode", kShell + R"({"node":"pipeline","commands":[{"node":"loop"}]})", "unknown argv_tree node loop"},
        Rejected{"UnknownBodySource", R"("kind":"network","body_source":{"type":"pipe"})", "unknown body_source type pipe"},
        Rejected{"ListWithoutRight", kShell + R"({"node":"list","op":"and","left":{"node":"unparsed","raw":"a"}})",
                 "missing member \"right\""},
        Rejected{"UnknownFlag", kShell + R"({"node":"unparsed","raw":"x"},"obfuscation":["rot13"])",
                 "unknown value \"rot13\" for member \"obfuscation\""},
        Rejected{"DescriptorBeyond32Bits",
                 kShell + R"({"node":"command","argv":["ls"],"redirects":[{"fd":4294967296,"op":"dup","target":"1"}]})",
                 "member \"fd\" is not a whole number in range but a number"}), testing::caseName);

ArgvTree unparsed(const char* raw) { return ArgvTree{ArgvTree::Unparsed{raw}}; }

TEST(ArgvTree, CopiesAreDeepAndAMovedFromBranchCopiesAsEmpty) {
    ArgvTree tree{ArgvTree::List{ListOp::andOp, unparsed("a"), ArgvTree{ArgvTree::Group{unparsed("b")}}}};
    ArgvTree copy = tree;
    std::get<ArgvTree::List>(copy.node).left->node = ArgvTree::Unparsed{"z"};
    EXPECT_NE(copy, tree);
    // A branch moved away is still copied and compared without reading it.
    ArgvTree::Group group{unparsed("ls")};
    const ArgvTree::Group taken = std::move(group), emptied = group;
    EXPECT_EQ(emptied, group);
    EXPECT_NE(emptied, taken);
}

}  // namespace
}  // namespace vardex
