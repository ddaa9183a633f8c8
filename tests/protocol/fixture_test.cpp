#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "protocol/fixture.hpp"
#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

template <class T>
std::string reencode(const std::string& data) {
    auto decoded = ProtocolJSON::decode<T>(data);
    if (!decoded) return "decode failed: " + decoded.error().description();
    auto encoded = ProtocolJSON::encode(*decoded);
    return encoded ? *encoded + "\n" : "encode failed: " + encoded.error().description();
}

std::string reencodeAs(FixtureKind kind, const std::string& data) {
    switch (kind) {
        case FixtureKind::action: return reencode<Action>(data);
        case FixtureKind::decision: return reencode<Decision>(data);
        case FixtureKind::approvalRequest: return reencode<ApprovalRequest>(data);
        case FixtureKind::approvalResponse: return reencode<ApprovalResponse>(data);
        case FixtureKind::ipc: {
            auto message = decodeLine(data);
            if (!message) return "decode failed: " + message.error().description();
            auto line = encodeLine(*message);
            return line ? *line : "encode failed";
        }
    }
    return {};
}

std::vector<fs::path> sampleFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(VARDEX_FIXTURES_DIR) / "protocol")) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class SampleFile : public ::testing::TestWithParam<fs::path> {};

// Each sample decodes as its kind, and writing it back gives the canonical line: the file
// itself, or its entry among the canonical forms when the sample holds nulls, empty optional
// lists or members the type ignores.
TEST_P(SampleFile, DecodesAndReencodesCanonically) {
    const fs::path& path = GetParam();
    const std::string name = path.filename().string();
    const std::string data = readFile(path);

    auto checked = decodeFixture(name, data);
    ASSERT_TRUE(checked) << checked.error().description();

    fs::path canonicalPath = fs::path(VARDEX_FIXTURES_DIR) / "protocol-canonical" / name;
    std::string expected = fs::exists(canonicalPath) ? readFile(canonicalPath) : data;
    EXPECT_EQ(reencodeAs(*fixtureKind(name), data), expected);
}

INSTANTIATE_TEST_SUITE_P(Protocol, SampleFile, ::testing::ValuesIn(sampleFiles()),
                         [](const auto& p) {
                             std::string name = p.param.stem().string();
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(SampleFiles, CoverEveryKindAndCase) {
    std::set<std::string> seen;
    for (const auto& path : sampleFiles()) {
        std::string data = readFile(path);
        auto kind = fixtureKind(path.filename().string());
        ASSERT_TRUE(kind);
        if (*kind == FixtureKind::action) {
            auto action = ProtocolJSON::decode<Action>(data);
            ASSERT_TRUE(action);
            seen.insert("kind:" + std::string(actionKindName(action->kind)));
            if (const auto* shell = std::get_if<ShellAction>(&action->kind)) {
                std::function<void(const ArgvTree&)> walk = [&](const ArgvTree& tree) {
                    seen.insert("node:" + std::string(tree.nodeName()));
                    if (const auto* list = std::get_if<ArgvTree::List>(&tree.node)) {
                        walk(*list->left);
                        walk(*list->right);
                    } else if (const auto* group = std::get_if<ArgvTree::Group>(&tree.node)) {
                        walk(*group->body);
                    } else if (const auto* pipe = std::get_if<ArgvTree::Pipeline>(&tree.node)) {
                        for (const auto& c : pipe->commands) walk(c);
                    }
                };
                walk(shell->argvTree);
            }
        } else if (*kind == FixtureKind::ipc) {
            auto message = decodeLine(data);
            ASSERT_TRUE(message);
            seen.insert("type:" + std::string(message->typeName()));
        }
    }
    for (const char* expected :
         {"kind:shell", "kind:file_read", "kind:file_write", "kind:file_delete", "kind:network",
          "kind:mcp_tool_call", "node:command", "node:pipeline", "node:list", "node:group",
          "node:unparsed", "type:hello", "type:approval_request", "type:approval_response",
          "type:event", "type:subscribe", "type:ping"}) {
        EXPECT_TRUE(seen.count(expected)) << expected;
    }
}

struct PrefixCase {
    const char* name;
    std::optional<FixtureKind> kind;
};

class FixturePrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(FixturePrefix, ChoosesKindByExactPrefix) {
    EXPECT_EQ(fixtureKind(GetParam().name), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FixturePrefix,
    ::testing::Values(PrefixCase{"action_x.json", FixtureKind::action},
                      PrefixCase{"decision_", FixtureKind::decision},
                      PrefixCase{"approval_request_a.json", FixtureKind::approvalRequest},
                      PrefixCase{"approval_response_a.json", FixtureKind::approvalResponse},
                      PrefixCase{"ipc_ping.json", FixtureKind::ipc},
                      PrefixCase{"approval_other.json", std::nullopt},
                      PrefixCase{"Action_x.json", std::nullopt},
                      PrefixCase{"action.json", std::nullopt},
                      PrefixCase{"", std::nullopt}));

TEST(DecodeFixture, UnknownPrefixNamesTheWholeFile) {
    auto result = decodeFixture("approval_thing.json", "{}");
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().description(), "unknown fixture prefix: approval_thing.json");
}

TEST(DecodeFixture, PassesDecodingErrorsOn) {
    auto result = decodeFixture("decision_bad.json", R"({"outcome":"maybe"})");
    ASSERT_FALSE(result);
    ASSERT_NE(result.error().decodingError(), nullptr);
    EXPECT_NE(result.error().description().find("outcome"), std::string::npos);
}

}  // namespace
}  // namespace vardex
