#include "activity/log_head.hpp"

#include <gtest/gtest.h>

#include "support/case_name.hpp"
#include "support/temp_folder.hpp"

namespace vardex {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<LogHead> head;
};

class ParseHead : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseHead, ReadsWhatAPersonCopiesFromAReceipt) { EXPECT_EQ(parseLogHead(GetParam().text), GetParam().head); }

const LogHead h{1204, "3fa9c2b1e0d4"};

INSTANTIATE_TEST_SUITE_P(Table, ParseHead, ::testing::Values(
        ParseCase{"AsWritten", "1204:3fa9c2b1e0d4", h},
        ParseCase{"AsPrinted", " 1,204 \u00b7 3FA9C2B1E0D4 ", h},
        ParseCase{"SpaceBetween", "1204 3fa9c2b1e0d4", h},
        ParseCase{"NoSeparator", "12043fa9c2b1e0d4", std::nullopt},
        ParseCase{"HashTooShort", "1204:3fa9c2b1e0d", std::nullopt},
        ParseCase{"HashNotHex", "1204:3fa9c2b1e0dz", std::nullopt},
        ParseCase{"NoCount", ":3fa9c2b1e0d4", std::nullopt},
        ParseCase{"ZeroEntries", "0:3fa9c2b1e0d4", std::nullopt},
        ParseCase{"CountOverflows", "99999999999999999999999:3fa9c2b1e0d4", std::nullopt},
        ParseCase{"Words", "yesterday", std::nullopt}), testing::caseName);

std::string line(const std::string& hash) { return R"({"decision":"allow","hash":")" + hash + "\"}\n"; }

// The tally reads only what was added since, and starts over when the log is not the one it read.
TEST(LogHeadTally, FollowsTheLogAsItGrowsAndStartsOverWhenItIsReplaced) {
    testing::TempFolder home;
    const auto log = home.path() / "audit.jsonl";
    LogHeadTally tally;
    EXPECT_EQ(tally.advance(log), std::nullopt);

    const std::string a(64, 'a'), b(64, 'b'), c(64, 'c');
    testing::writeFile(log, line(a) + line(b) + R"({"decision":"al)");
    EXPECT_EQ(tally.advance(log), (LogHead{2, b.substr(0, 12)})) << "an unfinished line is not counted";

    testing::writeFile(log, line(a) + line(b) + line(c));
    EXPECT_EQ(tally.advance(log), (LogHead{3, c.substr(0, 12)}));

    const auto replaced = home.path() / "new.jsonl";
    testing::writeFile(replaced, line(c));
    std::filesystem::rename(replaced, log);
    EXPECT_EQ(tally.advance(log), (LogHead{1, c.substr(0, 12)}));

    testing::writeFile(log, line(c) + "not json\n");
    EXPECT_EQ(tally.advance(log), std::nullopt) << "a last line without a hash names no head";
}

}  // namespace
}  // namespace vardex
