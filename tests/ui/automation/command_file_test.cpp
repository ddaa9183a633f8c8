#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "support/temp_folder.hpp"
#include "ui/automation/command_file.hpp"
#include "ui/automation/command_words.hpp"

namespace vardex::ui {
namespace {

struct WordsCase {
    const char* name;
    std::string line;
    std::vector<std::string> words;  // empty with `bad` set: refused
    bool bad = false;
};

class CommandWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(CommandWordsTest, SplitsAsAShellWould) {
    const auto& c = GetParam();
    const auto words = splitWords(c.line);
    ASSERT_EQ(static_cast<bool>(words), !c.bad);
    if (words) {
        EXPECT_EQ(*words, c.words);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandWordsTest,
    ::testing::Values(WordsCase{"blanksSeparate", "  click   allowButton\t", {"click", "allowButton"}},
                      WordsCase{"singleQuotesKeepAll", R"(type search 'a "b" $c\')", {"type", "search", R"(a "b" $c\)"}},
                      WordsCase{"doubleQuotesEscape", R"(type f "say \"hi\" \n")", {"type", "f", R"(say "hi" \n)"}},
                      WordsCase{"emptyQuotedWord", "type field ''", {"type", "field", ""}},
                      WordsCase{"backslashJoins", R"(check shell rm\ -rf)", {"check", "shell", "rm -rf"}},
                      WordsCase{"unclosedQuote", "type f 'open", {}, true}),
    [](const auto& test) { return std::string(test.param.name); });

class CommandFileTest : public ::testing::Test {
protected:
    void append(const std::string& text) { std::ofstream(path, std::ios::app) << text; }

    testing::TempFolder folder;
    std::filesystem::path path = folder.path() / "commands";
    CommandFile file{path};
};

TEST_F(CommandFileTest, EachLineIsTakenOnceAndAHalfWrittenLineWaitsForItsEnd) {
    EXPECT_EQ(file.take().value(), std::vector<std::string>{}) << "no file yet: nothing to do";
    append("open-popover\n\ncapture one\nsta");
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"open-popover", "capture one"}));
    EXPECT_FALSE(std::filesystem::exists(path)) << "the batch was taken whole";
    append("te\nquit\n");
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"state", "quit"}));
    EXPECT_EQ(file.take().value(), std::vector<std::string>{});
}

TEST_F(CommandFileTest, RefusesALinkOrAPipeWithoutTouchingWhatItPointsAt) {
    const auto target = folder.path() / "elsewhere";
    std::ofstream(target) << "quit\n";
    std::filesystem::create_symlink(target, path);
    EXPECT_FALSE(file.take());
    EXPECT_TRUE(std::filesystem::exists(target));

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(file.take()) << "a pipe nobody writes to must not hang the app";
}

TEST_F(CommandFileTest, ReportsAppendOneJsonLineEach) {
    file.report({{"command", "state"}, {"ok", true}});
    file.report({{"command", "bogus"}, {"ok", false}});
    std::ifstream out(path.string() + ".out");
    std::string first, second;
    std::getline(out, first);
    std::getline(out, second);
    EXPECT_EQ(nlohmann::json::parse(first)["command"], "state");
    EXPECT_EQ(nlohmann::json::parse(second)["ok"], false);
}

}  // namespace
}  // namespace vardex::ui
