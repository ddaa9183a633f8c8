#include "bridge/policy_replay.hpp"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "engine_script.hpp"

namespace vardex {
namespace {

using testing::caseName;

// The replay as one line: "checked/more: before>after xN [examples]; ..." or "unreadable".
std::string shown(const std::optional<PolicyReplay>& replay) {
    if (!replay) return "unreadable";
    std::string out = std::to_string(replay->checked) + "/" + std::to_string(replay->moreDifferences) + ":";
    for (const auto& shift : replay->shifts(2)) {
        out += " " + std::string(wireText(shift.before)) + ">" + std::string(wireText(shift.after)) + " x" +
               std::to_string(shift.count) + " [";
        for (const auto& example : shift.examples) out += example + (&example == &shift.examples.back() ? "" : "|");
        out += "]";
    }
    return out;
}

struct ReadCase {
    const char* name;
    std::string_view output;
    std::string expected;
};

class PolicyReplayRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(PolicyReplayRead, ReadsLeniently) { EXPECT_EQ(shown(PolicyReplay::parse(GetParam().output)), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Outputs, PolicyReplayRead,
    ::testing::Values(
        ReadCase{"NothingDiffers", R"({"since":"2026-12-01T00:00:00Z","checked":40,"unreadable":0,"more_differences":0,"differences":[]})",
                 "40/0:"},
        // Grouped by the change, the biggest first; a repeated summary is one example, and at most two are kept.
        ReadCase{"GroupedBiggestFirst", R"({"checked":9,"more_differences":5,"differences":[
            {"summary":"curl x","before":"ask","after":"deny"},
            {"summary":"ls","before":"ask","after":"allow"},
            {"summary":"ls","before":"ask","after":"allow"},
            {"summary":"cat a","before":"ask","after":"allow","before_rule":null,"after_rule":7},
            {"summary":"cat b","before":"ASK","after":"Allow"}]})",
                 "9/5: ask>allow x4 [ls|cat a] ask>deny x1 [curl x]"},
        ReadCase{"UnknownOrSameOutcomesLeftOut", R"({"checked":3,"differences":[
            {"summary":"a","before":"ask","after":"maybe"},
            {"summary":"b","before":"deny","after":"deny"},
            {"summary":"c","after":"allow"},
            "not an object",
            {"before":"deny","after":"allow"}]})",
                 "3/0: deny>allow x1 [action]"},
        ReadCase{"MistypedCountsReadAsNone", R"({"checked":"many","more_differences":-3,"differences":{"a":1}})", "0/0:"},
        ReadCase{"Empty", "", "unreadable"},
        ReadCase{"NotJson", "error: no such command replay\n", "unreadable"},
        ReadCase{"AnArray", "[1,2]", "unreadable"}),
    caseName);

// The fake engine keeps what it was given and how the file could be read, then answers.
constexpr std::string_view keepingEngine = R"(policy=$3
cp "$policy" "$HOME/seen"
stat -c %a "$policy" > "$HOME/mode"
)";

struct RunCase {
    const char* name;
    std::string answer;
    std::string expected;
};

class PolicyReplayRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(PolicyReplayRun, HandsThePolicyOverPrivatelyAndRemovesIt) {
    testing::FakeEngine engine(std::string(keepingEngine) + GetParam().answer);
    const auto replay = PolicyReplay::run("version: 1\nrules:\n");

    EXPECT_EQ(replay ? shown(*replay) : replay.error(), GetParam().expected);
    const auto arguments = engine.arguments();
    ASSERT_EQ(arguments.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(arguments.begin(), arguments.begin() + 2), (std::vector<std::string>{"replay", "--policy"}));
    EXPECT_EQ(std::vector<std::string>(arguments.begin() + 3, arguments.end()), (std::vector<std::string>{"--since", "7d", "--json"}));
    EXPECT_EQ(testing::readLines(engine.home / "seen"), (std::vector<std::string>{"version: 1", "rules:"}));
    EXPECT_EQ(testing::readLines(engine.home / "mode"), std::vector<std::string>{"600"});
    EXPECT_FALSE(std::filesystem::exists(arguments[2]));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PolicyReplayRun,
    ::testing::Values(RunCase{"Report", R"(echo '{"checked":1,"differences":[{"summary":"rm x","before":"ask","after":"deny"}]}')",
                              "1/0: ask>deny x1 [rm x]"},
                      RunCase{"RefusedPolicySaysWhy", "echo 'rule 2: unknown decision' >&2; exit 1", "rule 2: unknown decision"},
                      RunCase{"SilentFailure", "exit 3", "Vardex could not work out what this change would have done."}),
    caseName);

}  // namespace
}  // namespace vardex
