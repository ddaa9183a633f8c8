#include <gtest/gtest.h>

#include "policy/user_policy_file.hpp"
#include "support/case_name.hpp"
#include "support/temp_folder.hpp"

namespace vardex {
namespace {

using Kind = UserRule::MatchKind;

// A rule as the reader makes it when the file names only its id and match.
UserRule bare(std::string id, Kind kind, std::vector<std::string> values) {
    return {std::move(id), std::nullopt, "critical", "deny", kind, std::move(values)};
}

UserPolicyFile policyOf(std::function<void(UserPolicyFile&)> edit) {
    UserPolicyFile policy;
    edit(policy);
    return policy;
}

UserPolicyFile rulesOf(std::vector<UserRule> rules, std::uint32_t version = 1) {
    UserPolicyFile policy;
    policy.version = version;
    policy.rules = std::move(rules);
    return policy;
}

UserPolicyFile fullPolicy() {
    UserPolicyFile policy = rulesOf({UserRule::folder("user.protected.folder.projects.1f2e3d", "/home/ana/projects/"),
                                     UserRule::site("user.protected.site.example.com", "example.com"),
                                     UserRule::custom("no-terraform-destroy", "Stop terraform from tearing things down",
                                                      "high", "ask", Kind::program, "terraform"),
                                     UserRule{"no-force-push", std::nullopt, "medium", "deny", Kind::raw,
                                              {"git push --force", "git push -f"}}},
                                    3);
    policy.allowOverrideCritical = true;
    policy.askTimeoutSeconds = 45;
    policy.askThreshold = 0.75;
    policy.disable = {"secrets.ssh_private_key", "network.curl_pipe_shell"};
    return policy;
}

UserPolicyFile escapedPolicy() {
    UserPolicyFile policy = rulesOf({UserRule{R"(windows\share "backup")", R"(Keep C:\Users\ana and "Backups\" safe)", "high", "deny",
                                              Kind::paths, {R"(C:\Users\ana\)", R"(say "hi")", R"(\"\\)"}}});
    policy.disable = {R"(vendor."quoted".rule)"};
    return policy;
}

struct GoldenCase { const char* name; UserPolicyFile policy; };  // the name of the file, without ".yaml"

class GoldenText : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenText, WritesTheFileExactlyAndReadsItBack) {
    const auto expected = testing::readFile(std::string(VARDEX_POLICY_FIXTURES) + "/" + GetParam().name + ".yaml").value();
    EXPECT_EQ(GetParam().policy.yaml(), expected);
    EXPECT_EQ(UserPolicyFile::parse(expected), GetParam().policy);
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenText, ::testing::Values(GoldenCase{"empty", UserPolicyFile::empty},
        GoldenCase{"full", fullPolicy()}, GoldenCase{"escaped", escapedPolicy()}), testing::caseName);

TEST(ThresholdText, AlwaysTwoDecimals) {
    for (const auto& [value, text] : {std::pair{0.125, "0.12"}, {0.005, "0.01"}, {-0.0, "-0.00"}, {12345.678, "12345.68"}}) {
        const auto policy = policyOf([&](UserPolicyFile& p) { p.askThreshold = value; });
        EXPECT_EQ(policy.yaml(), std::string("version: 1\ndefaults:\n  ask_threshold: ") + text + "\n");
    }
}

// ---- the reader's quirks ----

struct ReadCase { const char *name, *text; UserPolicyFile expected; };

class Reading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Reading, FollowsTheLineRules) { EXPECT_EQ(UserPolicyFile::parse(GetParam().text), GetParam().expected); }

const ReadCase readCases[] = {
    {"QuotedTrueAllowsOverride", "allow_override_critical: \"true\"\n", policyOf([](auto& p) { p.allowOverrideCritical = true; })},
    {"UnreadableVersionAndCapitalTrueAreDefaults", "version: 4294967296\nallow_override_critical: True\n", UserPolicyFile::empty},
    {"UnreadableDefaultsAreAbsent",
     "defaults:\n  ask_timeout_seconds: -5\n  ask_threshold: high\n  ask_threshold: nan\n", UserPolicyFile::empty},
    {"DefaultAtIndentZeroEndsTheSection", "defaults:\nask_timeout_seconds: 5\n  ask_timeout_seconds: 6\n", UserPolicyFile::empty},
    {"CommentSkippedTabIndentCountsAsNone", "disable:\n  # a\n  - a\n\t- b\n  - c\n", policyOf([](auto& p) { p.disable = {"a"}; })},
    {"DisableKeepsRepeatsAndEmpties", "disable:\n  - a\n  - \"\"\n  - a\n  -\n", policyOf([](auto& p) { p.disable = {"a", "", "a"}; })},
    {"RuleLinesBeforeAnIdAreIgnored", "rules:\n    severity: low\n    match:\n      paths:\n        - \"/x\"\n  - id: r\n",
     rulesOf({bare("r", Kind::paths, {})})},
    {"IdAndTextsAreUnquotedTwice",
     "rules:\n  - id: \"\\\" spaced \\\"\"\n    description: \"\\\"hi\\\"\"\n    severity: \"\\\"low\\\"\"\n"
     "    decision: ' ask '\n", rulesOf({UserRule{" spaced ", "hi", "low", "' ask '", Kind::paths, {}}})},
    {"SiteDomainComesFromTheId", "rules:\n  - id: \"user.protected.site.example.org\"\n    match:\n      any:\n        - raw_any:\n"
     "            - \"*other.net*\"\n", rulesOf({bare("user.protected.site.example.org", Kind::site, {"example.org"})})},
    {"FolderListDropsEmptyAndRepeatedItems", "rules:\n  - id: \"user.protected.folder.root.1\"\n    match:\n      paths:\n        - \"\"\n"
     "        - \"/**\"\n        - \"/**\"\n", rulesOf({bare("user.protected.folder.root.1", Kind::paths, {"/**"})})},
    {"FolderIdForcesPaths", "rules:\n  - id: \"user.protected.folder.x\"\n    match:\n      raw_any:\n        - \"rm\"\n",
     rulesOf({bare("user.protected.folder.x", Kind::paths, {"rm"})})},
    {"InlineProgramIsUnquotedTwice", "rules:\n  - id: r\n    program: \"\\\"git\\\"\"\n  - id: s\n    program: |\n        - \"make\"\n",
     rulesOf({bare("r", Kind::program, {"git"}), bare("s", Kind::program, {"make"})})},
    {"ArgsListKeepsTheKind", "rules:\n  - id: r\n    raw_any:\n    args_any:\n        - a\n", rulesOf({bare("r", Kind::raw, {"a"})})},
    {"UnknownTopLevelLinesAreSkipped", "version: 2\nname: x\n  - id: r\nrules:\nfoo: bar\n  - id: s\n",
     rulesOf({bare("s", Kind::paths, {})}, 2)},
};

INSTANTIATE_TEST_SUITE_P(Quirks, Reading, ::testing::ValuesIn(readCases), testing::caseName);

}  // namespace
}  // namespace vardex
