#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "activity/audit_log_entry.hpp"
#include "support/case_name.hpp"
#include "support/temp_folder.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

fs::path writeFile(const fs::path& path, const std::string& bytes) {
    testing::writeFile(path, bytes);
    return path;
}

// A log with blank lines, bad lines, records of another kind and multi-byte text, the texts
// holding the characters other readers take for line breaks, and its entries oldest first; the
// last line has no line feed after it. A break the reader wrongly found splits a line in two.
std::pair<std::string, std::vector<AuditLogEntry>> mixedLog() {
    const char* breaks[] = {"\n", "\r\n", "\n\n", "\n \n", "\n"};
    const char* others[] = {"not json", "[1,2]", "{\"ts\":\"x\"}", "   ", "\u3000\t"};
    const char* texts[] = {"caf\u00e9 \u2028x", "e\u0301t\u00e9\u2029", "\U0001F44D\U0001F3FD\u0085", "\u6f22\u5b57", "\u00a0padded\u00a0"};
    std::pair<std::string, std::vector<AuditLogEntry>> log;
    for (int i = 0; i < 120; ++i) {
        if (i > 0) log.first += breaks[i % 5];
        const std::string line = i % 4 == 3 ? std::string(others[i / 4 % 5])
                                            : R"({"decision":"allow","session":")" + std::string(texts[i % 5]) +
                                                  R"(","hash":"h)" + std::to_string(i) + "\"}";
        log.first += line;
        if (auto entry = AuditLogEntry::readLine(line)) log.second.push_back(*entry);
    }
    return log;
}

struct Shape { const char* name; std::size_t blockSize; std::ptrdiff_t limit; };

class TailMatchesWholeFile : public ::testing::TestWithParam<Shape> {};

TEST_P(TailMatchesWholeFile, SameEntriesSameOrder) {
    testing::TempFolder folder;
    auto [text, expected] = mixedLog();
    std::reverse(expected.begin(), expected.end());
    if (GetParam().limit > 0 && GetParam().limit < std::ssize(expected)) expected.resize(GetParam().limit);
    auto path = writeFile(folder.path() / "audit.jsonl", text);
    EXPECT_EQ(AuditLogEntry::readRecent(path, GetParam().limit, GetParam().blockSize), expected);
}

// Byte and two-byte blocks put an edge inside every CR LF and multi-byte character.
INSTANTIATE_TEST_SUITE_P(Blocks, TailMatchesWholeFile, ::testing::Values(
        Shape{"ByteBlocks", 1, 50}, Shape{"TwoByteBlocks", 2, 50}, Shape{"SmallLimit", 3, 7},
        Shape{"LimitOne", 7, 1}, Shape{"LimitZeroReadsAll", 13, 0}, Shape{"BlockBiggerThanFile", 1 << 16, 50},
        Shape{"NegativeLimitReadsAll", 3, -1}, Shape{"LimitAboveLineCount", 17, 250}), testing::caseName);

TEST(TailReading, UnreadableFilesGiveNothing) {
    testing::TempFolder folder;
    EXPECT_TRUE(AuditLogEntry::readRecent(folder.path() / "missing", 50).empty());
    EXPECT_TRUE(AuditLogEntry::readRecent(folder.path(), 50).empty());
    EXPECT_TRUE(AuditLogEntry::readRecent(writeFile(folder.path() / "empty", ""), 50).empty());
}

struct LineCase { const char* name; std::string line; std::optional<std::string> unreadable; std::string summary; };

class OneLine : public ::testing::TestWithParam<LineCase> {};

// Between two good lines, each of these reads as exactly one entry: a line nobody can read is
// kept as damaged, and what other readers take for a line break stays inside its line.
TEST_P(OneLine, ReadsAsOneEntryBetweenItsNeighbours) {
    const auto& c = GetParam();
    testing::TempFolder folder;
    const auto log = writeFile(folder.path() / "audit.jsonl",
                               "{\"decision\":\"allow\",\"hash\":\"a\"}\n" + c.line + "\n{\"decision\":\"deny\",\"hash\":\"b\"}\n");
    const auto entries = AuditLogEntry::readRecent(log, 0, 2);
    ASSERT_EQ(entries.size(), 3U);
    EXPECT_EQ(entries[0].hash, "b");
    EXPECT_EQ(entries[1].unreadable, c.unreadable);
    EXPECT_EQ(entries[1].actionSummary, c.summary);
    EXPECT_EQ(entries[2].hash, "a");
}

INSTANTIATE_TEST_SUITE_P(Lines, OneLine, ::testing::Values(
        LineCase{"lineSeparatorInAComment", "{\"decision\":\"allow\",\"action\":{\"raw\":\"sudo rm -rf /x # \u2028 ok\"}}", std::nullopt,
                 "sudo rm -rf /x # \u2028 ok"},
        LineCase{"paragraphSeparatorAndNextLine", "{\"decision\":\"deny\",\"action\":{\"raw\":\"a\u2029b\u0085c\"}}", std::nullopt,
                 "a\u2029b\u0085c"},
        LineCase{"notJson", "rm -rf / # cut short", "rm -rf / # cut short", "rm -rf / # cut short"},
        LineCase{"cutInTheMiddle", R"({"decision":"allow","action":{"raw":"ls)", R"({"decision":"allow","action":{"raw":"ls)",
                 R"({"decision":"allow","action":{"raw":"ls)"},
        LineCase{"notUtf8", "{\"decision\":\"deny\",\"x\":\"\xff\"}", "{\"decision\":\"deny\",\"x\":\"\xff\"}",
                 "{\"decision\":\"deny\",\"x\":\"\xff\"}"}), testing::caseName);

}  // namespace
}  // namespace vardex
