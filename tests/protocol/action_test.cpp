#include <gtest/gtest.h>

#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

const std::string kContext =
    R"("context":{"agent":"shim","session_id":"s","cwd":"/","autonomous":false})";

Result<Action, WireError> decodeAction(const std::string& members) {
    return ProtocolJSON::decode<Action>("{" + kContext + "," + members + "}");
}

std::string encodeAction(const Action& action) {
    auto encoded = ProtocolJSON::encode(action);
    return encoded ? *encoded : encoded.error().description();
}

TEST(Action, ShellWithoutOptionalListsReadsEmptyAndWritesNone) {
    auto action = decodeAction(R"("kind":"shell","raw":"ls","cwd":"/","argv_tree":{"node":"command","argv":["ls"]})");
    ASSERT_TRUE(action) << action.error().description();
    const auto& shell = std::get<ShellAction>(action->kind);
    EXPECT_TRUE(shell.obfuscation.empty());
    const auto& command = std::get<ArgvTree::Command>(shell.argvTree.node);
    EXPECT_TRUE(command.redirects.empty() && command.substitutions.empty() && command.env.empty() &&
                command.wrappers.empty());
    std::string written = encodeAction(*action);
    for (const char* member : {"obfuscation", "redirects", "substitutions", "env", "wrappers"}) {
        EXPECT_EQ(written.find(member), std::string::npos) << member;
    }
}

TEST(Action, NetworkWithOnlyContextAndKindHasEveryFieldAbsent) {
    auto action = decodeAction(R"("kind":"network")");
    ASSERT_TRUE(action);
    EXPECT_EQ(std::get<NetworkAction>(action->kind), NetworkAction{});
    EXPECT_EQ(encodeAction(*action), "{" + kContext.substr(0, 10) +
                                         R"({"agent":"shim","autonomous":false,"cwd":"/","session_id":"s"},"kind":"network"})");
}

TEST(Redirect, KeepsTheDescriptorOnlyWhenGiven) {
    auto with = ProtocolJSON::fromTree<Redirect>(nlohmann::json::parse(R"({"fd":2,"op":"dup","target":"1"})"));
    auto without = ProtocolJSON::fromTree<Redirect>(nlohmann::json::parse(R"({"op":"write","target":"f"})"));
    ASSERT_TRUE(with);
    ASSERT_TRUE(without);
    EXPECT_EQ(with->fd, 2u);
    EXPECT_FALSE(without->fd);
    auto negative = ProtocolJSON::fromTree<Redirect>(nlohmann::json::parse(R"({"fd":-1,"op":"dup","target":"1"})"));
    EXPECT_FALSE(negative);
    auto tooBig = ProtocolJSON::fromTree<Redirect>(nlohmann::json::parse(R"({"fd":4294967296,"op":"dup","target":"1"})"));
    EXPECT_FALSE(tooBig);
}

// A tree whose branch was moved away is still copied and compared without reading it.
TEST(ArgvTree, AMovedFromBranchCopiesAndComparesAsEmpty) {
    ArgvTree::Group group{ArgvTree{ArgvTree::Unparsed{"ls"}}};
    ArgvTree::Group taken = std::move(group);
    const ArgvTree::Group copy = group;
    EXPECT_EQ(copy, group);
    EXPECT_NE(copy, taken);
    EXPECT_EQ(taken.body->node, ArgvTree{ArgvTree::Unparsed{"ls"}}.node);
}

struct UnknownTag {
    const char* name;
    std::string members;
    std::string description;
};

class UnknownTags : public ::testing::TestWithParam<UnknownTag> {};

TEST_P(UnknownTags, FailWithTheirText) {
    auto action = decodeAction(GetParam().members);
    ASSERT_FALSE(action);
    EXPECT_EQ(action.error().description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, UnknownTags,
    ::testing::Values(
        UnknownTag{"Kind", R"("kind":"teleport")", "unknown action kind teleport"},
        UnknownTag{"Node", R"("kind":"shell","raw":"x","cwd":"/","argv_tree":{"node":"subshell"})",
                   "unknown argv_tree node subshell"},
        UnknownTag{"NestedNode",
                   R"("kind":"shell","raw":"x","cwd":"/","argv_tree":{"node":"pipeline","commands":[{"node":"loop"}]})",
                   "unknown argv_tree node loop"},
        UnknownTag{"BodySource", R"("kind":"network","body_source":{"type":"pipe"})",
                   "unknown body_source type pipe"},
        UnknownTag{"BodyFileWithoutPath", R"("kind":"network","body_source":{"type":"file"})",
                   "missing member \"path\""},
        UnknownTag{"ListWithoutRight",
                   R"("kind":"shell","raw":"x","cwd":"/","argv_tree":{"node":"list","op":"and","left":{"node":"unparsed","raw":"a"}})",
                   "missing member \"right\""},
        UnknownTag{"McpWithoutArgs", R"("kind":"mcp_tool_call","server":"s","tool":"t")",
                   "missing member \"args_json\""},
        UnknownTag{"UnknownFlag", R"("kind":"shell","raw":"x","cwd":"/","argv_tree":{"node":"unparsed","raw":"x"},"obfuscation":["rot13"])",
                   "unknown value \"rot13\" for member \"obfuscation\""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ArgvTree, NestedListsKeepTheirShape) {
    auto tree = ProtocolJSON::fromTree<ArgvTree>(nlohmann::json::parse(
        R"({"node":"list","op":"and","left":{"node":"list","op":"or","left":{"node":"unparsed","raw":"a"},)"
        R"("right":{"node":"unparsed","raw":"b"}},"right":{"node":"group","body":{"node":"unparsed","raw":"c"}}})"));
    ASSERT_TRUE(tree) << tree.error().description();
    const auto& outer = std::get<ArgvTree::List>(tree->node);
    EXPECT_EQ(outer.op, ListOp::andOp);
    const auto& inner = std::get<ArgvTree::List>(outer.left->node);
    EXPECT_EQ(inner.op, ListOp::orOp);
    EXPECT_EQ(std::get<ArgvTree::Unparsed>(inner.right->node).raw, "b");

    ArgvTree copy = *tree;
    EXPECT_EQ(copy, *tree);
    std::get<ArgvTree::Unparsed>(std::get<ArgvTree::List>(std::get<ArgvTree::List>(copy.node).left->node).left->node).raw = "z";
    EXPECT_NE(copy, *tree);  // the copy is deep
}

TEST(ArgvTree, DeepNestingIsRefused) {
    std::string text;
    const int depth = 5000;
    for (int i = 0; i < depth; ++i) text += R"({"node":"group","body":)";
    text += R"({"node":"unparsed","raw":"x"})";
    text += std::string(depth, '}');
    auto tree = ProtocolJSON::decode<ArgvTree>(text);
    ASSERT_FALSE(tree);
    EXPECT_NE(tree.error().description().find("nesting deeper"), std::string::npos);
}

}  // namespace
}  // namespace vardex
