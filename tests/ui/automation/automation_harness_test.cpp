// The command file scripts drive the app through, and the shell-like words of its lines. The
// commands themselves are run by the end-to-end roads against the real app.
#include <sys/stat.h>

#include <fstream>
#include <optional>

#include "support/temp_folder.hpp"
#include "ui/automation/command_file.hpp"
#include "ui/automation/command_words.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui {
namespace {

struct WordsCase {
    const char* name;
    std::string line;
    std::optional<std::vector<std::string>> words;  // none: refused
};

class CommandWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(CommandWordsTest, SplitsAsAShellWould) {
    const auto words = splitWords(GetParam().line);
    EXPECT_EQ(words ? std::optional(*words) : std::nullopt, GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandWordsTest, ::testing::Values(
        WordsCase{"blanksSeparate", "  click   allowButton\t", {{"click", "allowButton"}}},
        WordsCase{"singleQuotesKeepAll", R"(type search 'a "b" $c\')", {{"type", "search", R"(a "b" $c\)"}}},
        WordsCase{"doubleQuotesEscape", R"(type f "say \"hi\" \n")", {{"type", "f", R"(say "hi" \n)"}}},
        WordsCase{"emptyQuotedWord", "type field ''", {{"type", "field", ""}}},
        WordsCase{"backslashJoins", R"(check shell rm\ -rf)", {{"check", "shell", "rm -rf"}}},
        WordsCase{"unclosedQuote", "type f 'open", std::nullopt}), vardex::testing::caseName);

TEST(CommandFileTest, EachLineIsTakenOnceAndAHalfWrittenLineWaitsForItsEnd) {
    vardex::testing::TempFolder folder;
    const auto path = folder.path() / "commands";
    std::optional<CommandFile> taker{path};
    CommandFile& file = *taker;
    EXPECT_EQ(file.take().value(), std::vector<std::string>{}) << "no file yet: nothing to do";
    // A writer that opened the file before a take and writes after it loses nothing.
    std::ofstream writer(path, std::ios::app);
    writer << "open-popover\n\ncapture one\nsta" << std::flush;
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"open-popover", "capture one"}));
    writer << "te\nquit\n" << std::flush;
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"state", "quit"}));
    EXPECT_EQ(file.take().value(), std::vector<std::string>{});

    // Another file put in its place is read from its start.
    const auto replacement = folder.path() / "next";
    std::ofstream(replacement) << "resume\n";
    std::filesystem::rename(replacement, path);
    EXPECT_EQ(file.take().value(), std::vector<std::string>{"resume"});
    // Whole lines before an endless one still run; the endless one is refused after them.
    std::ofstream(path, std::ios::app) << "quit\n" << std::string((1 << 20) + 1, 'x');
    EXPECT_EQ(file.take().value(), std::vector<std::string>{"quit"});
    EXPECT_FALSE(file.take());
    taker.reset();
    EXPECT_FALSE(std::filesystem::exists(path)) << "the file goes with the app";

    // A link or a pipe is refused without touching what it points at.
    const auto target = folder.path() / "elsewhere";
    std::ofstream(target) << "quit\n";
    std::filesystem::create_symlink(target, path);
    CommandFile refused{path};
    EXPECT_FALSE(refused.take());
    EXPECT_EQ(refused.take().value(), std::vector<std::string>{}) << "a refusal is said once";
    EXPECT_TRUE(std::filesystem::exists(target));

    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(refused.take()) << "a pipe nobody writes to must not hang the app";
}

}  // namespace
}  // namespace vardex::ui
