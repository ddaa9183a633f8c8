#include <gtest/gtest.h>

#include <chrono>
#include <cctype>
#include <set>
#include <vector>

#include "strings/ui_strings.hpp"
#include "activity/zone.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

namespace S = UIStrings;

struct Composed { const char* name; std::string actual, expected; };

class ComposedText : public ::testing::TestWithParam<Composed> {};

TEST_P(ComposedText, ReadsAsWritten) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

// The edges of units and plurals; a wrongly cased icon state reads as off.
INSTANTIATE_TEST_SUITE_P(Counts, ComposedText, ::testing::Values(
        Composed{"AgoJustNow", S::relativeAgo(59), "just now"}, Composed{"AgoMinute", S::relativeAgo(60), "1 min ago"},
        Composed{"AgoDays", S::relativeAgo(200000), "2 d ago"},
        Composed{"StoppedNone", S::v3StoppedCount(0), "Nothing needed stopping today."},
        Composed{"StoppedOne", S::v3StoppedCount(1), "We stopped 1 thing today."},
        Composed{"HomeWrongCaseIsOff", std::string(S::homeStatus("Protected")), "Not protected"},
        Composed{"BlockedNoneReadsAsOne", S::stoppedSentence(0), "Vardex blocked a risky action today."},
        Composed{"BlockedTwo", S::stoppedSentence(2), "Vardex blocked 2 risky actions today."},
        Composed{"IconWrongCase", std::string(S::iconTitle("Protected")), "Not protected"},
        Composed{"MoreCharacters", S::moreCharacters(42), "… 42 more characters"},
        // "Why?" under a row never says an action that ran was stopped.
        Composed{"WhyDenied", S::rowWhy(Outcome::deny, "rce.pipe_to_shell"),
                 "An AI app tried to download and run a program in one step. That is a common way malware gets in."},
        Composed{"WhyAllowedUnderARule", S::rowWhy(Outcome::allow, "secrets.dotenv"), "This looked safe, so Vardex let it run."},
        Composed{"WhyAskedUnknownRule", S::rowWhy(Outcome::ask, "custom.mine"), "Vardex asked you first, and your answer decided."},
        Composed{"WhyAskedKnownRule", S::rowWhy(Outcome::ask, "secrets.dotenv"),
                 "An AI app tried to read a secrets file. Those files often hold passwords and API keys."}),
    testing::caseName);

struct Sentence { const char* name; Outcome outcome; std::optional<std::string> ruleId; long long count; std::string expected; };

class RowSentence : public ::testing::TestWithParam<Sentence> {};

TEST_P(RowSentence, WordsTheGroup) {
    const auto& p = GetParam();
    EXPECT_EQ(S::v3GroupSentence("Cursor", p.outcome, p.ruleId, p.count), p.expected);
    if (p.count <= 1) { EXPECT_EQ(S::v3Sentence("Cursor", p.outcome, p.ruleId, "ls -la"), p.expected); }
}

INSTANTIATE_TEST_SUITE_P(Outcomes, RowSentence, ::testing::Values(
        Sentence{"AllowNone", Outcome::allow, std::nullopt, 0, "Cursor did a safe thing."},
        Sentence{"AskOnce", Outcome::ask, "priv.sudo", 1, "Cursor asked first, and you chose."},
        Sentence{"DenyKnownRule", Outcome::deny, "destructive.rm_home_root", 1, "We stopped Cursor from deleting your files."},
        // The first fragment of the list found anywhere in the id decides, case-sensitively.
        Sentence{"DenySshBeforeSecret", Outcome::deny, "secrets.ssh_key", 1, "We stopped Cursor from reading your secret key."},
        Sentence{"DenyCapitalsMatchNothing", Outcome::deny, "SECRETS.SSH", 1, "We stopped Cursor from doing something risky."},
        Sentence{"DenyMany", Outcome::deny, "rce.pipe_to_shell", 5,
                 "Stopped Cursor 5 times from running a program from the internet."}), testing::caseName);

TEST(CheckedLine, JustNowThenTheLocalClockTime) {
    using namespace std::chrono;
    const auto now = sys_days(year_month_day(year(2025), month(3), day(1))) + hours(12);
    testing::ScopedZone zone("JST-9");
    EXPECT_EQ(S::checkedLine(now - seconds(59), now), "Checked just now");
    EXPECT_EQ(S::checkedLine(now - minutes(90), now), "Checked 19:30");
}

TEST(RiskStories, OnlyTheExactRuleIdHasAStory) {
    EXPECT_EQ(S::riskStory(std::optional<std::string>("secrets.dotenv")).headline, "An AI app tried to read a secrets file.");
    for (const char* other : {"SECRETS.DOTENV", "secrets.dotenv.extra"}) {
        EXPECT_EQ(S::riskStory(std::optional<std::string>(other)), S::fallbackRiskStory) << other;
    }
    EXPECT_EQ(S::riskStory(std::nullopt), S::fallbackRiskStory);
    EXPECT_EQ(S::v3HelperFallback(std::nullopt), S::fallbackRiskStory.why);
}

// The Markdown export is read by reviewers: every key and story has its row, on one line.
TEST(Catalog, UniqueKeysNonEmptyTextsAndOneRowEachInTheExport) {
    const std::string doc = S::markdownDocument();
    std::set<std::string_view> keys;
    for (const auto& [key, text] : S::catalog()) {
        EXPECT_TRUE(keys.insert(key).second) << key;
        EXPECT_FALSE(text.empty()) << key;
        EXPECT_EQ(text.find("vardex"), std::string_view::npos) << key;
        EXPECT_NE(doc.find("\n| `" + std::string(key) + "` | " + S::markdownCell(text) + " |\n"), std::string::npos) << key;
    }
    for (const auto& [rule, story] : S::riskStories()) {
        EXPECT_FALSE(story.headline.empty() || story.why.empty() || story.allowOnce.empty()) << rule;
        EXPECT_NE(doc.find("\n| `" + std::string(rule) + "` | " + S::markdownCell(story.headline) + " | "), std::string::npos);
    }
    EXPECT_NE(doc.back(), '\n');
    EXPECT_EQ(S::markdownCell("a|b\nc"), "a\\|b c");
}

// Every text a Linux build shows, as far as the catalogue can list it: the platform's own words,
// the review catalogue, the risk stories and what the composing functions make of every rule.
std::vector<std::string> everyText() {
    std::vector<std::string> texts;
    for (const auto& table : {S::platformWords(), S::catalog()}) {
        for (const auto& [key, text] : table) texts.emplace_back(text);
    }
    std::vector<std::optional<std::string>> rules{std::nullopt, "persist.autostart"};
    for (const auto& [rule, story] : S::riskStories()) {
        texts.insert(texts.end(), {std::string(story.headline), std::string(story.why), std::string(story.allowOnce)});
        rules.emplace_back(std::string(rule));
    }
    for (const auto& rule : rules) {
        texts.push_back(S::v3AskSentence("Codex", rule));
        texts.push_back(S::v3GroupSentence("Codex", Outcome::deny, rule, 1));
    }
    for (const bool ok : {true, false}) {
        for (const auto text : {S::healthBinary(ok), S::healthService(ok), S::healthRules(ok), S::healthLog(ok)}) texts.emplace_back(text);
    }
    return texts;
}

// A word counts where it stands alone: "Mac" is not in "Machine".
bool namesWord(std::string_view text, std::string_view word) {
    for (auto at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const auto end = at + word.size();
        const bool startsWord = at == 0 || !std::isalpha(static_cast<unsigned char>(text[at - 1]));
        const bool endsWord = end == text.size() || !std::isalpha(static_cast<unsigned char>(text[end]));
        if (startsWord && endsWord) return true;
    }
    return false;
}

TEST(PlatformWords, ALinuxBuildNamesNothingOfTheMac) {
    if (std::string_view(VARDEX_PLATFORM) != "linux") GTEST_SKIP() << "not a Linux build";
    const auto texts = everyText();
    EXPECT_GT(texts.size(), 200u);
    for (const auto& text : texts) {
        for (const std::string_view word : {"Mac", "macOS", "Finder", "Keychain", "Applications folder", "Applications"}) {
            EXPECT_FALSE(namesWord(text, word)) << '"' << text << "\" names " << word;
        }
    }
    EXPECT_TRUE(namesWord("on this Mac.", "Mac") && !namesWord("Machine", "Mac"));
}

}  // namespace
}  // namespace vardex
