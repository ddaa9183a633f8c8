#include "bridge/rules_catalog.hpp"

#include <gtest/gtest.h>

#include "bridge/check_outcome.hpp"
#include "engine_script.hpp"

namespace vardex {
namespace {

using nlohmann::json;

struct NumberCase { const char *name, *value; std::optional<double> numeric; std::optional<std::uint64_t> whole; };

class ReadingTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadingTest, ReadsAsWritten) {
    const auto& c = GetParam();
    const json value = json::parse(c.value);
    const json* present = value.is_null() ? nullptr : &value;
    EXPECT_EQ(numericReading(present), c.numeric);
    EXPECT_EQ(unsignedReading(present), c.whole);
}

constexpr auto none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(Values, ReadingTest, ::testing::Values(
        NumberCase{"Fraction", "45.9", 45.9, 45u}, NumberCase{"Negative", "-1", -1.0, none},
        NumberCase{"TwoToThe64", "18446744073709551616", 18446744073709551616.0, none},
        NumberCase{"PlusText", "\"+120\"", 120.0, 120u}, NumberCase{"EmptyText", "\"\"", none, none},
        NumberCase{"DigitTextTooLong", "\"18446744073709551616\"", 18446744073709551616.0, none},
        NumberCase{"PaddedText", "\" 0.5\"", none, none}, NumberCase{"HugeText", "\"1e999\"", none, none},
        NumberCase{"ValueWinsEvenWhenNull", "{\"value\": null, \"risk_score\": 0.55}", none, none},
        NumberCase{"NestedObjects", "{\"value\": {\"risk_score\": {\"value\": 0.25}}}", 0.25, none},
        NumberCase{"Bool", "true", none, none}), testing::caseName);

// Missing or mistyped parts take their defaults (the engine's own listing is read by its tests).
TEST(RulesCatalogTest, ReadsTheListingLeniently) {
    EXPECT_EQ(RulesCatalog(json::array()), RulesCatalog());
    EXPECT_EQ(RulesCatalog(json::parse(R"({"defaults": [1], "rules": {"id": "x"}, "disabled": "all"})")), RulesCatalog());
    const RulesCatalog mistyped(json::parse(
        R"({"defaults": {"ask_timeout_seconds": -1, "ask_threshold": "high", "unmatched": 3, "on_timeout": null},
            "rules": [{"id": 7, "severity": ["critical"], "layer": false}]})"));
    EXPECT_EQ(mistyped, (RulesCatalog(json::parse(R"({"rules": [{}]})"))));
}

// Whatever the exit status, a JSON object is the listing; without one a failure speaks for itself.
// The ask time-out is read from the listing, or the default of an empty catalogue.
struct LoadCase { const char* name; std::string script; std::uint64_t askTimeout; const char* failure; };

class RulesLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(RulesLoadTest, RunsTheListing) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto loaded = RulesCatalog::load();
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"rules", "list", "--json"}));
    EXPECT_EQ(loaded ? "" : loaded.error().description(), c.failure);
    EXPECT_EQ(loaded ? loaded->defaults.askTimeoutSeconds : 0, c.askTimeout);
    EXPECT_TRUE(!loaded || loaded->rules.empty());
}

INSTANTIATE_TEST_SUITE_P(Runs, RulesLoadTest, ::testing::Values(
        LoadCase{"ProseSuccess", "echo 'rules: none'", 30, ""},
        LoadCase{"SilentFailure", "exit 2", 0, "Could not run Vardex. Could not list rules."},
        LoadCase{"FailureWithWords", "echo 'bad policy' >&2; exit 2", 0, "Could not run Vardex. bad policy"},
        LoadCase{"ArrayFailure", "echo '[]'; exit 1", 0, "Could not run Vardex. []"},
        LoadCase{"ObjectDespiteFailure", "echo '{\"defaults\":{\"ask_timeout_seconds\":\"9\"}}'; exit 4", 9, ""}), testing::caseName);

// ---- Trial checks ------------------------------------------------------------------------

// The inputs the kind uses are checked and trimmed before the engine runs; then its decision is
// read whatever its exit status, or its own words stand in.
struct CheckCase {
    const char* name;
    CheckKind kind;
    std::array<const char*, 5> inputs;  // shell, read, server, tool, json
    std::string script;
    const char* arguments;  // joined by "|"; "": the engine must not run
    CheckOutcome outcome;   // with any decision standing for the sample's deny
};

class CheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckTest, ValidatesRunsAndReads) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto [shell, read, server, tool, details] = c.inputs;
    auto outcome = CheckOutcome::run(c.kind, shell, read, server, tool, details);
    std::string arguments;
    for (const auto& argument : engine.arguments()) arguments += (arguments.empty() ? "" : "|") + argument;
    EXPECT_EQ(arguments, c.arguments);
    EXPECT_TRUE(!outcome.decision || outcome.decision->outcome == Outcome::deny);
    EXPECT_EQ(outcome.decision.has_value(), c.outcome.decision.has_value());
    outcome.decision = c.outcome.decision;
    EXPECT_EQ(outcome, c.outcome);
}

const std::string deny = "cat '" + testing::fixturePath("decision_deny_check.json") + "'\n";
const Decision decided;
const std::array<const char*, 5> ls{"ls", "", "", "", ""};
constexpr const char* lsRun = "check|--json|--shell|ls";

INSTANTIATE_TEST_SUITE_P(Inputs, CheckTest, ::testing::Values(
        CheckCase{"ShellBlank", CheckKind::shell, {" \n\t ", "/etc/passwd", "s", "t", "{}"}, deny, "",
                  {std::nullopt, 0, "Type a command to test.", {}}},
        CheckCase{"McpNoTool", CheckKind::mcp, {"ls", "", "fs", " ", "{}"}, deny, "",
                  {std::nullopt, 0, "Type the tool name and details to test.", {}}},
        CheckCase{"ShellTrimmed", CheckKind::shell, {"  rm -rf ~/x; echo \"$HOME\"\n", "", "", "", ""}, deny,
                  "check|--json|--shell|rm -rf ~/x; echo \"$HOME\"", {decided, 0, std::nullopt, {}}},
        CheckCase{"DecisionWithFailureStatus", CheckKind::shell, ls, deny + "exit 1", lsRun, {decided, 1, std::nullopt, {}}},
        CheckCase{"NothingPrinted", CheckKind::shell, ls, "exit 5", lsRun, {std::nullopt, 5, "No decision was returned.", {}}},
        CheckCase{"WordsInstead", CheckKind::shell, ls, "echo 'policy error' >&2; exit 2", lsRun, {std::nullopt, 2, "policy error", {}}},
        CheckCase{"MistypedDecision", CheckKind::shell, ls, "echo '{\"outcome\":\"maybe\"}'", lsRun,
                  {std::nullopt, 0, "{\"outcome\":\"maybe\"}", {}}}), testing::caseName);

}  // namespace
}  // namespace vardex
