#include <gtest/gtest.h>

#include "protocol/fixture.hpp"
#include "protocol/line_codec.hpp"
#include "protocol/protocol_json.hpp"
#include "support/temp_folder.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

template <class T>
std::string reencode(const std::string& data) {
    auto encoded = ProtocolJSON::encode(ProtocolJSON::decode<T>(data).value());  // decoding was checked first
    return encoded ? *encoded + "\n" : "encode failed: " + encoded.error().description();
}

std::string reencodeAs(FixtureKind kind, const std::string& data) {
    switch (kind) {
        case FixtureKind::action: return reencode<Action>(data);
        case FixtureKind::decision: return reencode<Decision>(data);
        case FixtureKind::approvalRequest: return reencode<ApprovalRequest>(data);
        case FixtureKind::approvalResponse: return reencode<ApprovalResponse>(data);
        case FixtureKind::ipc: {
            const auto message = decodeLine(data).value();
            auto line = encodeLine(message);
            if (!line) return "encode failed";
            EXPECT_EQ(decodeLine(*line).value(), message) << "read back, the line is another message";
            return *line;
        }
    }
    return {};
}

std::vector<fs::path> sampleFiles() {
    std::vector<fs::path> files(fs::directory_iterator(fs::path(VARDEX_FIXTURES_DIR) / "protocol"), {});
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
    const std::string data = testing::readFile(path).value();

    auto checked = decodeFixture(name, data);
    ASSERT_TRUE(checked) << checked.error().description();

    fs::path canonicalPath = fs::path(VARDEX_FIXTURES_DIR) / "protocol-canonical" / name;
    EXPECT_EQ(reencodeAs(*fixtureKind(name), data), testing::readFile(canonicalPath).value_or(data));
}

TEST(SampleFileName, WithoutAKnownPrefixIsRefused) {
    const auto checked = decodeFixture("notes_1.json", "{}");
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.error().description(), "unknown fixture prefix: notes_1.json");
}

INSTANTIATE_TEST_SUITE_P(Protocol, SampleFile, ::testing::ValuesIn(sampleFiles()),
                         [](const auto& p) { return p.param.stem().string(); });  // letters and underscores

}  // namespace
}  // namespace vardex
