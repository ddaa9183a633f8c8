#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <set>
#include <sstream>

#include "strings/ui_strings.hpp"
#include "support/scoped_env.hpp"

namespace vardex {
namespace {

namespace S = UIStrings;

struct Composed {
    std::string actual;
    std::string expected;
};

class ComposedText : public ::testing::TestWithParam<Composed> {};

TEST_P(ComposedText, ReadsAsWritten) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Counts, ComposedText,
    ::testing::Values(
        Composed{S::relativeAgo(0), "just now"}, Composed{S::relativeAgo(59), "just now"},
        Composed{S::relativeAgo(60), "1 min ago"}, Composed{S::relativeAgo(3599), "59 min ago"},
        Composed{S::relativeAgo(3600), "1 h ago"}, Composed{S::relativeAgo(86399), "23 h ago"},
        Composed{S::relativeAgo(86400), "1 d ago"}, Composed{S::relativeAgo(200000), "2 d ago"},
        Composed{S::v3StoppedCount(0), "Nothing needed stopping today."},
        Composed{S::v3StoppedCount(1), "We stopped 1 thing today."},
        Composed{S::v3StoppedCount(2), "We stopped 2 things today."},
        Composed{S::v3ClosedAgents(0), "No running AI app found."},
        Composed{S::v3ClosedAgents(1), "Closed 1 AI app."},
        Composed{S::v3ClosedAgents(4), "Closed 4 AI apps."},
        Composed{S::exportedLines(12), "Exported 12 activity lines."},
        Composed{S::nowProtecting("Cursor"), std::string(S::nowProtectingExample)},
        Composed{S::popoverWatched(1, 1), "1 app watched · 1 stopped today"},
        Composed{S::popoverWatched(3, 0), "3 apps watched · 0 stopped today"},
        Composed{S::todayLine(2, 1, 40), "Stopped 2 risky actions · 1 secrets read · 40 checks"},
        Composed{S::healthSummary("Cursor", true), "Connected to Cursor"},
        Composed{S::healthSummary("Codex", false), "Not connected to Codex"},
        Composed{S::versionLine("0.1.0"), "Version 0.1.0"},
        Composed{S::stoppedSentence(0), "Vardex blocked a risky action today."},
        Composed{S::stoppedSentence(2), "Vardex blocked 2 risky actions today."}));

// Only the choices with a rule of their own: unknown and wrongly cased states read as off.
INSTANTIATE_TEST_SUITE_P(
    FixedChoices, ComposedText,
    ::testing::Values(Composed{std::string(S::iconTitle("paused")), "Paused"},
                      Composed{std::string(S::iconTitle("off")), "Not protected"},
                      Composed{std::string(S::iconTitle("Protected")), "Not protected"},
                      Composed{std::string(S::homeStatus("needsFix")), "Partly protected"}));

struct Thing {
    std::optional<std::string> ruleId;
    std::string_view thing;
};

class ThingStopped : public ::testing::TestWithParam<Thing> {};

TEST_P(ThingStopped, FirstFragmentDecides) {
    EXPECT_EQ(S::v3Thing(GetParam().ruleId), GetParam().thing);
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, ThingStopped,
    ::testing::Values(
        // "ssh" is tested before "secret".
        Thing{"secrets.ssh_private_key", "reading your secret key"},
        Thing{"exfil.secret_to_network", "sending your password"},
        Thing{"secrets.cloud_credentials", "sending your password"},
        Thing{"user.password_store", "sending your password"},
        Thing{"cloud.credential", "sending your password"},
        Thing{"rce.pipe_to_shell", "running a program from the internet"},
        Thing{"supply.source_remote", "running a program from the internet"},
        Thing{"persist.autostart", "changing what starts with your Mac"},
        Thing{"persist.cron", "changing what starts with your Mac"},
        Thing{"money_movement", "spending money"},
        Thing{"shop.payment", "spending money"},
        Thing{"fs.delete_many", "deleting your files"},
        Thing{"destructive.rm_home_root", "deleting your files"},
        // Case-sensitive: capitals match nothing.
        Thing{"SECRETS.SSH", "doing something risky"},
        Thing{"priv.sudo", "doing something risky"},
        Thing{std::nullopt, "doing something risky"}));

struct Sentence {
    Outcome outcome;
    std::optional<std::string> ruleId;
    long long count;
    std::string expected;
};

class RowSentence : public ::testing::TestWithParam<Sentence> {};

TEST_P(RowSentence, WordsTheGroup) {
    const auto& p = GetParam();
    EXPECT_EQ(S::v3GroupSentence("Cursor", p.outcome, p.ruleId, p.count), p.expected);
    if (p.count <= 1) {
        EXPECT_EQ(S::v3Sentence("Cursor", p.outcome, p.ruleId, "ls -la"), p.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RowSentence,
    ::testing::Values(
        Sentence{Outcome::allow, std::nullopt, 0, "Cursor did a safe thing."},
        Sentence{Outcome::allow, std::nullopt, 1, "Cursor did a safe thing."},
        Sentence{Outcome::allow, std::nullopt, 3, "Cursor did 3 safe things."},
        Sentence{Outcome::ask, "priv.sudo", 1, "Cursor asked first, and you chose."},
        Sentence{Outcome::ask, "priv.sudo", 2, "Cursor asked first 2 times."},
        Sentence{Outcome::deny, "destructive.rm_home_root", 1,
                 "We stopped Cursor from deleting your files."},
        Sentence{Outcome::deny, "exfil.secret_to_network", 1,
                 "We stopped Cursor from sending your password."},
        Sentence{Outcome::deny, std::nullopt, 1, "We stopped Cursor from doing something risky."},
        Sentence{Outcome::deny, "rce.pipe_to_shell", 5,
                 "Stopped Cursor 5 times from running a program from the internet."}));

TEST(CheckedLine, JustNowThenTheLocalClockTime) {
    using namespace std::chrono;
    const auto now = sys_days(year_month_day(year(2025), month(3), day(1))) + hours(12);
    {
        testing::ScopedEnv zone("TZ", "JST-9");
        ::tzset();
        EXPECT_EQ(S::checkedLine(now - seconds(59), now), "Checked just now");
        EXPECT_EQ(S::checkedLine(now - minutes(90), now), "Checked 19:30");
    }
    ::tzset();
}

TEST(AskSentence, NamesAgentVerbAndQuestion) {
    EXPECT_EQ(S::v3AskSentence("Codex", std::optional<std::string>("money_movement")),
              "Codex wants to spend money. Is that OK?");
    EXPECT_EQ(S::v3AskSentence("Codex", std::nullopt),
              "Codex wants to do something risky. Is that OK?");
}

TEST(RiskStories, ExactRuleIdOrFallback) {
    EXPECT_EQ(S::riskStories().size(), 21u);
    EXPECT_EQ(S::riskStory(std::optional<std::string>("secrets.dotenv")).headline,
              "An AI app tried to read a secrets file.");
    EXPECT_EQ(S::riskStory(std::optional<std::string>("SECRETS.DOTENV")), S::fallbackRiskStory);
    EXPECT_EQ(S::riskStory(std::optional<std::string>("secrets.dotenv.extra")),
              S::fallbackRiskStory);
    EXPECT_EQ(S::riskStory(std::nullopt), S::fallbackRiskStory);
    EXPECT_EQ(S::fallbackRiskStory.headline, "This action looks risky.");
    EXPECT_EQ(S::v3HelperFallback(std::nullopt), S::fallbackRiskStory.why);
    for (const auto& [rule, story] : S::riskStories()) {
        EXPECT_FALSE(story.headline.empty() || story.why.empty() || story.allowOnce.empty())
            << rule;
    }
}

TEST(Catalog, OrderedUniqueAndComplete) {
    const auto& pairs = S::catalog();
    ASSERT_EQ(pairs.size(), 97u);
    const std::vector<std::string_view> opening{
        "product", "shortName", "mainTagline", "supportingTagline", "protectMyMac",
        "howItWorks", "beatStopsDeletes", "beatGuardsPasswords", "beatWatchesUploads",
        "addAnotherApp", "livesInMenuBar", "quitVardex", "quitConfirm", "openVardex"};
    for (std::size_t i = 0; i < opening.size(); ++i) EXPECT_EQ(pairs[i].first, opening[i]);
    EXPECT_EQ(pairs.back(), (std::pair<std::string_view, std::string_view>{
                                "nowProtectingExample", "Now protecting Cursor"}));
    std::set<std::string_view> keys;
    for (const auto& [key, text] : pairs) {
        EXPECT_TRUE(keys.insert(key).second) << key;
        EXPECT_FALSE(text.empty()) << key;
    }
    EXPECT_EQ(keys.count("protected"), 1u);
}

TEST(Catalog, EveryTextNamesTheProductTheSameWay) {
    for (const auto& [key, text] : S::catalog()) {
        EXPECT_EQ(text.find("vardex"), std::string_view::npos) << key;
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(Markdown, HeadTablesAndSortedStories) {
    std::string doc = S::markdownDocument();
    auto lines = linesOf(doc);
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines[0], "# Vardex UI strings");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "| Key | Copy |");
    EXPECT_EQ(lines[6], "| --- | --- |");
    EXPECT_EQ(lines[7], "| `product` | Vardex |");
    EXPECT_EQ(lines[7 + 96], "| `nowProtectingExample` | Now protecting Cursor |");
    EXPECT_EQ(lines[104], "");
    EXPECT_EQ(lines[105], "## Risk stories");
    EXPECT_EQ(lines[107], "| Rule | Headline | Why this matters | Allow once |");
    EXPECT_EQ(lines[109],
              "| `destructive.disk` | An AI app tried to erase a disk. | Disk erase cannot be "
              "undone. | Do not allow this unless you are wiping a disk on purpose. |");
    EXPECT_EQ(lines.size(), 109u + 21u);
    EXPECT_LT(doc.find("`destructive.disk`"), doc.find("`destructive.rm_home_root`"));
    EXPECT_NE(doc.back(), '\n');
}

TEST(Markdown, CellsEscapeBarsAndKeepOneLine) {
    EXPECT_EQ(S::markdownCell("a|b\nc"), "a\\|b c");
    EXPECT_EQ(S::markdownCell("plain"), "plain");
}

}  // namespace
}  // namespace vardex
