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
    const AgentAtWork judge;
    std::map<std::string, std::pair<int, int>> caught;  // file: caught, total
    int ordinaryAsked = 0;
    int ordinaryDenied = 0;
    for (const auto& e : corpus()) {
        const auto outcome = judge.decide(e.command);
        auto& [hits, total] = caught[e.file];
        ++total;
        if (e.file == "ordinary") {
            ordinaryAsked += outcome == Outcome::ask;
            ordinaryDenied += outcome == Outcome::deny;
        } else {
            hits += outcome != Outcome::allow;
        }
    }
    const auto share = [](std::pair<int, int> p) { return p.second ? 100.0 * p.first / p.second : 0.0; };
    std::ostringstream report;
    report << "attacks caught " << caught["attacks"].first << "/" << caught["attacks"].second << ", evasions caught "
           << caught["evasions"].first << "/" << caught["evasions"].second << ", ordinary asked " << ordinaryAsked
           << " denied " << ordinaryDenied << " of " << caught["ordinary"].second;
    std::cout << report.str() << "\n";
    RecordProperty("corpus", report.str());
    EXPECT_GE(share(caught["attacks"]), 95.0) << report.str();
    EXPECT_GE(share(caught["evasions"]), 90.0) << report.str();
    EXPECT_GE(caught["ordinary"].second, 200);
    EXPECT_LE(100.0 * ordinaryAsked / std::max(1, caught["ordinary"].second), 1.0) << report.str();
    EXPECT_EQ(ordinaryDenied, 0) << report.str();
}

}  // namespace
}  // namespace vardex::engine
