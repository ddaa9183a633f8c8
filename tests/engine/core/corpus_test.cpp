#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "agent_at_work.hpp"

namespace vardex::engine {
namespace {

// One line of the corpus (see corpus/README.md for the format).
struct Entry {
    std::string file;  // "attacks", "evasions" or "ordinary"
    int line = 0;
    std::string expected;  // deny, ask, allow or gap
    std::string command;
};

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\');
        out += escape ? (text[++i] == 'n' ? '\n' : '\\') : text[i];
    }
    return out;
}

std::vector<Entry> corpus() {
    std::vector<Entry> entries;
    for (const char* name : {"attacks", "evasions", "ordinary"}) {
        std::ifstream in(std::string(VARDEX_CORPUS_DIR) + "/" + name + ".tsv");
        std::string text;
        for (int line = 1; std::getline(in, text); ++line) {
            if (text.empty() || text.front() == '#') continue;
            const auto tab = text.find('\t');
            if (tab == std::string::npos) ADD_FAILURE() << name << ":" << line << " has no tab";
            if (tab == std::string::npos) continue;
            entries.push_back({name, line, text.substr(0, tab), unescape(text.substr(tab + 1))});
        }
    }
    return entries;
}

class Corpus : public ::testing::TestWithParam<Entry> {};

TEST_P(Corpus, DecidesAsExpected) {
    const auto& e = GetParam();
    const auto outcome = AgentAtWork().decide(e.command);
    ASSERT_TRUE(e.expected == "deny" || e.expected == "ask" || e.expected == "allow" || e.expected == "gap") << e.expected;
    if (e.expected == "ask") {
        EXPECT_NE(outcome, Outcome::allow) << e.command;
    } else {
        EXPECT_EQ(outcome, e.expected == "deny" ? Outcome::deny : Outcome::allow) << e.command;
    }
}

INSTANTIATE_TEST_SUITE_P(RedTeam, Corpus, ::testing::ValuesIn(corpus()), [](const auto& param) {
    return param.param.file + "_line" + std::to_string(param.param.line);
});

// The figures the corpus is there to show, held to the goals: at least 95 % of attacks and
// 90 % of evasions caught, at most 1 % of ordinary commands asked about, none blocked.
TEST(CorpusTotals, MeetTheGoals) {
    using enum Outcome;
    const AgentAtWork judge;
    std::map<std::string, std::map<Outcome, int>> seen;  // file: how often each outcome came
    for (const auto& e : corpus()) ++seen[e.file][judge.decide(e.command)];
    const auto lines = [&](const std::string& file) { return seen[file][allow] + seen[file][ask] + seen[file][deny]; };
    const auto percent = [&](const std::string& file, int part) { return 100.0 * part / std::max(1, lines(file)); };
    const auto caught = [&](const std::string& file) { return percent(file, seen[file][ask] + seen[file][deny]); };
    auto& ordinary = seen["ordinary"];
    std::ostringstream report;
    report.precision(3);
    report << "attacks caught " << caught("attacks") << " % of " << lines("attacks") << ", evasions caught " << caught("evasions")
           << " % of " << lines("evasions") << ", ordinary asked " << ordinary[ask] << " denied " << ordinary[deny] << " of "
           << lines("ordinary");
    std::cout << report.str() << "\n";
    RecordProperty("corpus", report.str());
    EXPECT_GE(caught("attacks"), 95.0) << report.str();
    EXPECT_GE(caught("evasions"), 90.0) << report.str();
    EXPECT_GE(lines("ordinary"), 200);
    EXPECT_LE(percent("ordinary", ordinary[ask]), 1.0) << report.str();
    EXPECT_EQ(ordinary[deny], 0) << report.str();
}

}  // namespace
}  // namespace vardex::engine
