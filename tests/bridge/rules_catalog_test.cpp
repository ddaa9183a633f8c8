#include "bridge/rules_catalog.hpp"

#include <gtest/gtest.h>

#include "bridge/check_outcome.hpp"
#include "engine_script.hpp"

namespace vardex {
namespace {

using nlohmann::json;

struct NumberCase {
    const char* name;
    const char* value;
    std::optional<double> numeric;
    std::optional<std::uint64_t> whole;
};

class ReadingTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadingTest, ReadsAsWritten) {
    const auto& c = GetParam();
    const json value = json::parse(c.value);
    const json* present = value.is_null() ? nullptr : &value;
    EXPECT_EQ(numericReading(present), c.numeric);
    EXPECT_EQ(unsignedReading(present), c.whole);
}

constexpr auto none = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Values, ReadingTest,
    ::testing::Values(
        NumberCase{"Absent", "null", none, none},
        NumberCase{"Integer", "45", 45.0, 45u},
        NumberCase{"Fraction", "45.9", 45.9, 45u},
        NumberCase{"Negative", "-1", -1.0, none},
        NumberCase{"NegativeFraction", "-0.5", -0.5, none},
        NumberCase{"LargestUnsigned", "18446744073709551615", 18446744073709551615.0, 18446744073709551615u},
        NumberCase{"TwoToThe64", "18446744073709551616", 18446744073709551616.0, none},
        NumberCase{"DecimalText", "\"0.55\"", 0.55, none},
        NumberCase{"DigitText", "\"120\"", 120.0, 120u},
        NumberCase{"PlusText", "\"+120\"", 120.0, 120u},
        NumberCase{"MinusText", "\"-3\"", -3.0, none},
        NumberCase{"DigitTextTooLong", "\"18446744073709551616\"", 18446744073709551616.0, none},
        NumberCase{"ExponentText", "\"5e-1\"", 0.5, none},
        NumberCase{"PaddedText", "\" 0.5\"", none, none},
        NumberCase{"WordText", "\"inf\"", none, none},
        NumberCase{"HugeText", "\"1e999\"", none, none},
        NumberCase{"EmptyText", "\"\"", none, none},
        NumberCase{"ValueMember", "{\"value\": 0.55}", 0.55, none},
        NumberCase{"ValueMemberAsText", "{\"value\": \"0.55\"}", 0.55, none},
        NumberCase{"RiskScoreMember", "{\"risk_score\": 0.55}", 0.55, none},
        NumberCase{"ValueWinsEvenWhenNull", "{\"value\": null, \"risk_score\": 0.55}", none, none},
        NumberCase{"NestedObjects", "{\"value\": {\"risk_score\": {\"value\": 0.25}}}", 0.25, none},
        NumberCase{"EmptyObject", "{}", none, none},
        NumberCase{"Bool", "true", none, none},
        NumberCase{"Array", "[0.5]", none, none}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RulesCatalogTest, ReadsTheListingLeniently) {
    std::ifstream in(testing::fixturePath("rules_list.json"));
    const RulesCatalog catalog(json::parse(in));
    EXPECT_EQ(catalog.defaults, (CatalogDefaults{45, 0.55, "ask", "allow", "deny"}));
    ASSERT_EQ(catalog.rules.size(), 3u);
    EXPECT_EQ(catalog.rules[2], (CatalogRule{"shell.rm", "", "medium", "deny", "embedded", "", false}));
    ASSERT_EQ(catalog.disabled.size(), 1u);
    EXPECT_EQ(catalog.disabled[0], (CatalogRule{"shell.curl", "", "medium", "deny", "user",
                                                "/home/u/.config/talvenor/vardex/policy.yaml", true}));
}

TEST(RulesCatalogTest, MissingOrMistypedPartsTakeDefaults) {
    EXPECT_EQ(RulesCatalog().defaults, (CatalogDefaults{30, 0.7, "allow", "deny", "deny"}));
    EXPECT_TRUE(RulesCatalog().rules.empty() && RulesCatalog().disabled.empty());
    EXPECT_EQ(RulesCatalog(json::object()), RulesCatalog());
    EXPECT_EQ(RulesCatalog(json::array()), RulesCatalog());
    const RulesCatalog odd(json::parse(
        R"({"defaults": [1], "rules": {"id": "x"}, "disabled": "all",
            "extra": {"deep": [[[]]]}})"));
    EXPECT_EQ(odd, RulesCatalog());
    const RulesCatalog mistyped(json::parse(
        R"({"defaults": {"ask_timeout_seconds": -1, "ask_threshold": "high", "unmatched": 3, "on_timeout": null},
            "rules": [{"id": 7, "severity": ["critical"], "layer": false}]})"));
    EXPECT_EQ(mistyped.defaults, CatalogDefaults());
    EXPECT_EQ(mistyped.rules.at(0), CatalogRule());
}

struct RuleCase {
    const char* severity;
    const char* layer;
    bool critical;
    bool canDisable;
    const char* label;
};

class CatalogRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CatalogRuleTest, DerivedValues) {
    const auto& c = GetParam();
    CatalogRule rule;
    rule.severity = c.severity;
    rule.layer = c.layer;
    EXPECT_EQ(rule.isCritical(), c.critical);
    EXPECT_EQ(rule.canDisable(), c.canDisable);
    EXPECT_EQ(rule.layerLabel(), c.label);
}

INSTANTIATE_TEST_SUITE_P(Rules, CatalogRuleTest,
                         ::testing::Values(RuleCase{"critical", "embedded", true, false, "Built-in"},
                                           RuleCase{"Critical", "embedded", false, true, "Built-in"},
                                           RuleCase{"high", "project", false, true, "This project"},
                                           RuleCase{"low", "user", false, false, "Your file"},
                                           RuleCase{"medium", "team", false, true, "team"}));

struct LoadCase {
    const char* name;
    std::string script;
    std::optional<RulesCatalog> catalog;
    const char* failure;
};

class RulesLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(RulesLoadTest, RunsTheListing) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto loaded = RulesCatalog::load();
    EXPECT_EQ(engine.arguments(), (std::vector<std::string>{"rules", "list", "--json"}));
    if (c.catalog) {
        ASSERT_TRUE(loaded.ok()) << loaded.error().description();
        EXPECT_EQ(*loaded, *c.catalog);
    } else {
        ASSERT_FALSE(loaded.ok());
        EXPECT_EQ(loaded.error().description(), c.failure);
    }
}

RulesCatalog withTimeout(std::uint64_t seconds) {
    RulesCatalog catalog;
    catalog.defaults.askTimeoutSeconds = seconds;
    return catalog;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RulesLoadTest,
    ::testing::Values(
        LoadCase{"EmptySuccess", "exit 0", RulesCatalog(), nullptr},
        LoadCase{"ProseSuccess", "echo 'rules: none'", RulesCatalog(), nullptr},
        LoadCase{"SilentFailure", "exit 2", std::nullopt, "Could not run Vardex. Could not list rules."},
        LoadCase{"FailureWithWords", "echo 'bad policy' >&2; exit 2", std::nullopt, "Could not run Vardex. bad policy"},
        LoadCase{"ArrayFailure", "echo '[]'; exit 1", std::nullopt, "Could not run Vardex. []"},
        LoadCase{"ObjectDespiteFailure", "echo '{\"defaults\":{\"ask_timeout_seconds\":\"9\"}}'; exit 4",
                 withTimeout(9), nullptr}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RulesLoadTest, MissingEngine) {
    testing::TempHome home;
    testing::ScopedEnv path("PATH", (home / "nowhere").string());
    EXPECT_EQ(RulesCatalog::load().error(), CliError::binaryMissing());
}

// ---- Trial checks ------------------------------------------------------------------------

TEST(CheckKindTest, TitlesInChoiceOrder) {
    std::vector<std::string> titles;
    for (const auto kind : allCases<CheckKind>()) titles.emplace_back(title(kind));
    EXPECT_EQ(titles, (std::vector<std::string>{"Command", "Read a file", "AI tool"}));
    EXPECT_EQ(parseWireText<CheckKind>("mcp"), CheckKind::mcp);
}

struct CheckCase {
    const char* name;
    CheckKind kind;
    std::array<const char*, 5> inputs;  // shell, read, server, tool, json
    std::vector<std::string> arguments;  // empty: the engine must not run
    const char* error;
};

class CheckInputTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckInputTest, ValidatesAndPassesTrimmedInputs) {
    const auto& c = GetParam();
    testing::FakeEngine engine("cat '" + testing::fixturePath("decision_deny_check.json") + "'");
    const auto [shell, read, server, tool, details] = c.inputs;
    const auto outcome = CheckOutcome::run(c.kind, shell, read, server, tool, details);
    if (c.arguments.empty()) {
        EXPECT_FALSE(engine.ran());
        EXPECT_EQ(outcome, (CheckOutcome{std::nullopt, 0, std::string(c.error)}));
    } else {
        EXPECT_EQ(engine.arguments(), c.arguments);
        ASSERT_TRUE(outcome.decision.has_value()) << outcome.error.value_or("");
        EXPECT_EQ(outcome.decision->outcome, Outcome::deny);
    }
}

using Args = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
    Inputs, CheckInputTest,
    ::testing::Values(
        CheckCase{"ShellBlank", CheckKind::shell, {" \n\t ", "/etc/passwd", "s", "t", "{}"}, {}, "Type a command to test."},
        CheckCase{"ReadBlank", CheckKind::read, {"ls", "  ", "s", "t", "{}"}, {}, "Type a file path to test."},
        CheckCase{"McpNoTool", CheckKind::mcp, {"ls", "", "fs", " ", "{}"}, {}, "Type the tool name and details to test."},
        CheckCase{"McpNoDetails", CheckKind::mcp, {"", "", "fs", "read", "\n"}, {},
                  "Type the tool name and details to test."},
        CheckCase{"Shell", CheckKind::shell, {"  rm -rf ~/x; echo \"$HOME\"\n", "", "", "", ""},
                  Args{"check", "--json", "--shell", "rm -rf ~/x; echo \"$HOME\""}, nullptr},
        CheckCase{"Read", CheckKind::read, {"", " ~/.ssh/id_rsa ", "", "", ""},
                  Args{"check", "--json", "--read", "~/.ssh/id_rsa"}, nullptr},
        CheckCase{"Mcp", CheckKind::mcp, {"", "", " filesystem", "read_file ", " {\"path\": \"/etc\"} "},
                  Args{"check", "--json", "--mcp", "filesystem", "read_file", "{\"path\": \"/etc\"}"}, nullptr}),
    [](const auto& p) { return std::string(p.param.name); });

struct RunCase {
    const char* name;
    std::string script;
    bool decided;
    std::int32_t exitCode;
    std::optional<std::string> error;
};

class CheckRunTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(CheckRunTest, ReadsTheDecisionOrTheEnginesWords) {
    const auto& c = GetParam();
    testing::FakeEngine engine(c.script);
    const auto outcome = CheckOutcome::run(CheckKind::shell, "ls", "", "", "", "");
    EXPECT_EQ(outcome.decision.has_value(), c.decided);
    EXPECT_EQ(outcome.exitCode, c.exitCode);
    EXPECT_EQ(outcome.error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, CheckRunTest,
    ::testing::Values(
        RunCase{"DecisionWithFailureStatus", testing::FakeEngine::printing(testing::fixturePath("decision_deny_check.json"), 1),
                true, 1, std::nullopt},
        RunCase{"NothingPrinted", "exit 0", false, 0, "No decision was returned."},
        RunCase{"NothingPrintedFailure", "exit 5", false, 5, "No decision was returned."},
        RunCase{"WordsInstead", "echo 'policy error' >&2; exit 2", false, 2, "policy error"},
        RunCase{"MistypedDecision", "echo '{\"outcome\":\"maybe\"}'", false, 0, "{\"outcome\":\"maybe\"}"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(CheckRunTest, EngineThatCannotRun) {
    testing::TempHome home;
    {
        testing::ScopedEnv path("PATH", (home / "nowhere").string());
        EXPECT_EQ(CheckOutcome::run(CheckKind::read, "", "/etc", "", "", ""),
                  (CheckOutcome{std::nullopt, 0, "Part of Vardex is missing. Please reinstall it from the download."}));
    }
    // An executable file that the system cannot start: not a script, not a program.
    const auto binary = home / "bin/vardex";
    testing::writeFile(binary, "\x7f" "ELF garbage");
    std::filesystem::permissions(binary, std::filesystem::perms::owner_all);
    testing::ScopedEnv useIt("VARDEX_BIN", binary.string());
    const auto outcome = CheckOutcome::run(CheckKind::read, "", "/etc", "", "", "");
    EXPECT_FALSE(outcome.decision);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.error.value_or("").rfind("Could not run Vardex. ", 0), 0u) << outcome.error.value_or("");
}

}  // namespace
}  // namespace vardex
