#include <gtest/gtest.h>

#include <algorithm>

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

// A log with every kind of break, bad lines, blank lines and multi-byte text, and its entries
// oldest first; the last line has no break after it. A break the reader missed joins two lines
// into one it cannot read, so an entry goes missing.
std::pair<std::string, std::vector<AuditLogEntry>> mixedLog() {
    const char* breaks[] = {"\n", "\r", "\r\n", "\v", "\f", "\u0085", "\u2028", "\u2029", "\n\n", "\r\r\n", "\n"};
    const char* others[] = {"not json", "[1,2]", "{\"ts\":\"x\"}", "   ", "\u3000\t"};
    const char* texts[] = {"caf\u00e9", "e\u0301t\u00e9", "\U0001F44D\U0001F3FD", "\u6f22\u5b57", "\u00a0padded\u00a0"};
    std::pair<std::string, std::vector<AuditLogEntry>> log;
    for (int i = 0; i < 120; ++i) {
        if (i > 0) log.first += breaks[i % 11];
        const std::string line = i % 4 == 3 ? std::string(others[i / 4 % 5])
                                            : R"({"decision":"allow","session":")" + std::string(texts[i % 5]) +
                                                  R"(","hash":"h)" + std::to_string(i) + "\"}";
        log.first += line;
        if (i % 4 != 3) log.second.push_back(*AuditLogEntry::parse(line));
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

// Byte and two-byte blocks put an edge inside every CR LF, three-byte break and four-byte character.
INSTANTIATE_TEST_SUITE_P(Blocks, TailMatchesWholeFile, ::testing::Values(
        Shape{"ByteBlocks", 1, 50}, Shape{"TwoByteBlocks", 2, 50}, Shape{"SmallLimit", 3, 7},
        Shape{"LimitOne", 7, 1}, Shape{"LimitZeroReadsAll", 13, 0}, Shape{"BlockBiggerThanFile", 1 << 16, 50},
        Shape{"NegativeLimitReadsAll", 3, -1}, Shape{"LimitAboveLineCount", 17, 250}), testing::caseName);

TEST(TailReading, UnreadableFilesGiveNothing) {
    testing::TempFolder folder;
    EXPECT_TRUE(AuditLogEntry::readRecent(folder.path() / "missing", 50).empty());
    EXPECT_TRUE(AuditLogEntry::readRecent(folder.path(), 50).empty());
    EXPECT_TRUE(AuditLogEntry::readRecent(writeFile(folder.path() / "empty", ""), 50).empty());
    auto damaged = writeFile(folder.path() / "bad", "{\"decision\":\"allow\"}\n{\"decision\":\"deny\",\"x\":\"\xff\"}\n");
    EXPECT_TRUE(AuditLogEntry::readRecent(damaged, 50).empty());
}

}  // namespace
}  // namespace vardex
