#include <gtest/gtest.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "policy/user_policy_file.hpp"
#include "policy_generators.hpp"

namespace vardex {
namespace {

using Kind = UserRule::MatchKind;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(VARDEX_POLICY_FIXTURES) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

UserRule rule(std::string id, std::optional<std::string> description, std::string severity, std::string decision,
              Kind kind, std::vector<std::string> values) {
    return {std::move(id), std::move(description), std::move(severity), std::move(decision), kind, std::move(values)};
}

UserPolicyFile fullPolicy() {
    UserPolicyFile policy;
    policy.version = 3;
    policy.allowOverrideCritical = true;
    policy.askTimeoutSeconds = 45;
    policy.askThreshold = 0.75;
    policy.disable = {"secrets.ssh_private_key", "network.curl_pipe_shell"};
    policy.rules = {
        UserRule::folder("user.protected.folder.projects.1f2e3d", "/home/ana/projects/"),
        UserRule::site("user.protected.site.example.com", "example.com"),
        UserRule::custom("no-terraform-destroy", "Stop terraform from tearing things down", "high", "ask",
                         Kind::program, "terraform"),
        rule("no-force-push", std::nullopt, "medium", "deny", Kind::raw, {"git push --force", "git push -f"}),
    };
    return policy;
}

UserPolicyFile escapedPolicy() {
    UserPolicyFile policy;
    policy.disable = {R"(vendor."quoted".rule)"};
    policy.rules = {rule(R"(windows\share "backup")", R"(Keep C:\Users\ana and "Backups\" safe)", "high", "deny",
                         Kind::paths, {R"(C:\Users\ana\)", R"(say "hi")", R"(\"\\)"})};
    return policy;
}

struct GoldenCase {
    const char* file;
    UserPolicyFile policy;
};

class GoldenText : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenText, WritesTheFileExactlyAndReadsItBack) {
    const std::string expected = fixture(GetParam().file);
    EXPECT_EQ(GetParam().policy.yaml(), expected);
    EXPECT_EQ(UserPolicyFile::parse(expected), GetParam().policy);
}

UserPolicyFile withThreshold(double threshold) {
    UserPolicyFile policy;
    policy.askThreshold = threshold;
    return policy;
}

UserPolicyFile withTimeout(std::uint64_t seconds) {
    UserPolicyFile policy;
    policy.askTimeoutSeconds = seconds;
    return policy;
}

INSTANTIATE_TEST_SUITE_P(Files, GoldenText,
                         ::testing::Values(GoldenCase{"empty.yaml", UserPolicyFile::empty},
                                           GoldenCase{"threshold_only.yaml", withThreshold(0.5)},
                                           GoldenCase{"timeout_only.yaml", withTimeout(90)},
                                           GoldenCase{"full.yaml", fullPolicy()},
                                           GoldenCase{"escaped.yaml", escapedPolicy()}),
                         [](const auto& param) {
                             std::string name = param.param.file;
                             return name.substr(0, name.find('.'));
                         });

TEST(ThresholdText, AlwaysTwoDecimalsWhateverTheLocale) {
    const std::pair<double, const char*> cases[] = {
        {0.5, "0.50"}, {1.0, "1.00"}, {0.125, "0.12"}, {0.005, "0.01"}, {2.675, "2.67"}, {-0.0, "-0.00"}, {12345.678, "12345.68"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(withThreshold(value).yaml(), std::string("version: 1\ndefaults:\n  ask_threshold: ") + text + "\n");
    }
}

// ---- the reader's quirks ----

struct ReadCase {
    const char* name;
    const char* text;
    UserPolicyFile expected;
};

UserPolicyFile policyOf(std::function<void(UserPolicyFile&)> edit) {
    UserPolicyFile policy;
    edit(policy);
    return policy;
}

class Reading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(Reading, FollowsTheLineRules) { EXPECT_EQ(UserPolicyFile::parse(GetParam().text), GetParam().expected); }

const ReadCase readCases[] = {
    {"OnlyExactTrueAllowsOverride", "allow_override_critical: True\n", UserPolicyFile::empty},
    {"QuotedTrueAllowsOverride", "allow_override_critical: \"true\"\n", policyOf([](auto& p) { p.allowOverrideCritical = true; })},
    {"UnreadableVersionIsOne", "version: 4294967296\n", UserPolicyFile::empty},
    {"QuotedVersion", "version: \"7\"\n", policyOf([](auto& p) { p.version = 7; })},
    {"UnreadableDefaultsAreAbsent",
     "defaults:\n  ask_timeout_seconds: -5\n  ask_threshold: high\n  ask_threshold: nan\n", UserPolicyFile::empty},
    {"LaterDefaultWins", "defaults:\n  ask_threshold: 0.3\n  ask_threshold: \"0.9\"\n  other: 1\n",
     policyOf([](auto& p) { p.askThreshold = 0.9; })},
    {"DefaultAtIndentZeroEndsTheSection", "defaults:\nask_timeout_seconds: 5\n  ask_timeout_seconds: 6\n", UserPolicyFile::empty},
    {"DisableNeedsIndentedEntries", "disable:\n  - \"a\"\n- \"b\"\n  - \"c\"\n",
     policyOf([](auto& p) { p.disable = {"a"}; })},
    {"TabIndentCountsAsNone", "disable:\n  - a\n\t- b\n  - c\n", policyOf([](auto& p) { p.disable = {"a"}; })},
    {"DisableKeepsRepeatsAndEmpties", "disable:\n  - a\n  - \"\"\n  - a\n  -\n",
     policyOf([](auto& p) { p.disable = {"a", "", "a"}; })},
    {"CommentsAndBlankLinesChangeNothing", "# top\ndisable:\n\n  # inside\n  - a\n   \n  - b\n",
     policyOf([](auto& p) { p.disable = {"a", "b"}; })},
    {"RuleLinesBeforeAnIdAreIgnored",
     "rules:\n    severity: low\n    match:\n      paths:\n        - \"/x\"\n  - id: r\n", 
     policyOf([](auto& p) { p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::paths, {})}; })},
    {"IdAndTextsAreUnquotedTwice",
     "rules:\n  - id: \"\\\" spaced \\\"\"\n    description: \"\\\"hi\\\"\"\n    severity: \"\\\"low\\\"\"\n"
     "    decision: ' ask '\n",
     policyOf([](auto& p) { p.rules = {rule(" spaced ", "hi", "low", "' ask '", Kind::paths, {})}; })},
    {"BlanksJustInsideQuotesAreLost", "rules:\n  - id: \" r \"\n    description: \"  hi there\t\"\n",
     policyOf([](auto& p) { p.rules = {rule("r", "hi there", "critical", "deny", Kind::paths, {})}; })},
    {"EmptyDescriptionStaysPresent", "rules:\n  - id: r\n    description: \"  \"\n",
     policyOf([](auto& p) { p.rules = {rule("r", "", "critical", "deny", Kind::paths, {})}; })},
    {"SiteDomainComesFromTheId",
     "rules:\n  - id: \"user.protected.site.example.org\"\n    match:\n      any:\n        - raw_any:\n"
     "            - \"*other.net*\"\n",
     policyOf([](auto& p) { p.rules = {rule("user.protected.site.example.org", std::nullopt, "critical", "deny", Kind::site, {"example.org"})}; })},
    {"FolderListDropsEmptyAndRepeatedItems",
     "rules:\n  - id: \"user.protected.folder.root.1\"\n    match:\n      paths:\n        - \"\"\n"
     "        - \"/**\"\n        - \"/**\"\n",
     policyOf([](auto& p) { p.rules = {rule("user.protected.folder.root.1", std::nullopt, "critical", "deny", Kind::paths, {"/**"})}; })},
    {"FolderIdForcesPaths",
     "rules:\n  - id: \"user.protected.folder.x\"\n    match:\n      raw_any:\n        - \"rm\"\n",
     policyOf([](auto& p) { p.rules = {rule("user.protected.folder.x", std::nullopt, "critical", "deny", Kind::paths, {"rm"})}; })},
    {"ShallowItemsAreNotValues", "rules:\n  - id: r\n    match:\n    raw_any:\n    - \"a\"\n      - \"b\"\n",
     policyOf([](auto& p) { p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::raw, {"b"})}; })},
    {"ItemsWithoutAListKeyAreDropped", "rules:\n  - id: r\n    match:\n        - \"a\"\n",
     policyOf([](auto& p) { p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::paths, {})}; })},
    {"InlineProgramIsUnquotedTwice", "rules:\n  - id: r\n    program: \"\\\"git\\\"\"\n  - id: s\n    program: |\n        - \"make\"\n",
     policyOf([](auto& p) {
         p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::program, {"git"}),
                    rule("s", std::nullopt, "critical", "deny", Kind::program, {"make"})};
     })},
    {"ArgsListKeepsTheKind", "rules:\n  - id: r\n    raw_any:\n    args_any:\n        - a\n",
     policyOf([](auto& p) { p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::raw, {"a"})}; })},
    {"TopLevelKeyEndsTheRule", "rules:\n  - id: r\nversion: 2\n    severity: low\n",
     policyOf([](auto& p) {
         p.version = 2;
         p.rules = {rule("r", std::nullopt, "critical", "deny", Kind::paths, {})};
     })},
    {"UnknownTopLevelLinesAreSkipped", "version: 2\nname: x\n  - id: r\nrules:\nfoo: bar\n  - id: s\n",
     policyOf([](auto& p) {
         p.version = 2;
         p.rules = {rule("s", std::nullopt, "critical", "deny", Kind::paths, {})};
     })},
};

INSTANTIATE_TEST_SUITE_P(Quirks, Reading, ::testing::ValuesIn(readCases),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- round trip ----

// The reader's second unquoting of ids and texts, which the writer does not undo.
std::string readAgain(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return std::string(text);
    const auto replaced = [](std::string_view in, std::string_view from, std::string_view to) {
        std::string out;
        for (std::size_t at = 0;;) {
            const std::size_t found = in.find(from, at);
            out.append(in.substr(at, found - at));
            if (found == std::string_view::npos) return out;
            out.append(to);
            at = found + from.size();
        }
    };
    return replaced(replaced(text.substr(1, text.size() - 2), "\\\"", "\""), "\\\\", "\\");
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// What the file keeps of a policy. The losses are the format's own:
// - an empty description is not written;
// - ids and descriptions are unquoted twice on reading, so blanks at their ends and a pair of
//   quotes around them are lost;
// - list items that are empty or repeat an earlier item are dropped;
// - a site rule's only value is its id's tail, whatever it was given;
// - a folder rule always reads back as a path list;
// - the threshold keeps two decimals (the generator uses hundredths only).
UserPolicyFile kept(UserPolicyFile policy) {
    for (UserRule& rule : policy.rules) {
        rule.id = readAgain(rule.id);
        if (rule.description && rule.description->empty()) rule.description.reset();
        if (rule.description) rule.description = readAgain(*rule.description);
        std::vector<std::string> values;
        for (std::string& value : rule.values) {
            if (!value.empty() && std::find(values.begin(), values.end(), value) == values.end()) values.push_back(value);
        }
        rule.values = std::move(values);
        if (startsWith(rule.id, UserRule::sitePrefix)) {
            rule.matchKind = Kind::site;
            rule.values = {rule.id.substr(UserRule::sitePrefix.size())};
        } else if (startsWith(rule.id, UserRule::folderPrefix)) {
            rule.matchKind = Kind::paths;
        }
    }
    return policy;
}

TEST(RoundTrip, ParseOfYamlKeepsEverythingButTheFormatsLosses) {
    testing::PolicyGenerator generator(20261206);
    for (int n = 0; n < 2000; ++n) {
        const UserPolicyFile policy = generator.next();
        const std::string text = policy.yaml();
        const UserPolicyFile read = UserPolicyFile::parse(text);
        ASSERT_EQ(read, kept(policy)) << text;
    }
}

// ---- YAML oracle ----

std::vector<std::string> strings(const YAML::Node& node) {
    std::vector<std::string> out;
    if (!node.IsDefined() || node.IsNull()) return out;
    EXPECT_TRUE(node.IsSequence());
    for (const auto& item : node) out.push_back(item.as<std::string>());
    return out;
}

void expectSiteBlock(const YAML::Node& match, const UserRule& rule) {
    const std::string pattern = "*" + (rule.values.empty() ? std::string() : rule.values.front()) + "*";
    ASSERT_EQ(match.size(), 1u);
    const YAML::Node any = match["any"];
    ASSERT_TRUE(any.IsSequence());
    ASSERT_EQ(any.size(), 4u);
    EXPECT_EQ(strings(any[0]["raw_any"]), std::vector<std::string>{pattern});
    EXPECT_EQ(strings(any[1]["args_any"]), std::vector<std::string>{pattern});
    for (std::size_t i = 2; i < 4; ++i) {
        EXPECT_EQ(any[i].size(), 2u);
        EXPECT_EQ(any[i]["mcp"]["arg"].as<std::string>(), i == 2 ? "/url" : "/uri");
        EXPECT_EQ(strings(any[i]["paths"]), std::vector<std::string>{pattern});
    }
}

TEST(YamlOracle, EveryWrittenFileIsYamlOfTheRightShape) {
    testing::PolicyGenerator generator(7);
    for (int n = 0; n < 500; ++n) {
        const UserPolicyFile policy = generator.next();
        const std::string text = policy.yaml();
        YAML::Node loaded;
        ASSERT_NO_THROW(loaded = YAML::Load(text)) << text;
        // Looked up through a const node: a lookup must never add the key it asks for.
        const YAML::Node& root = loaded;
        ASSERT_TRUE(root.IsMap()) << text;
        EXPECT_EQ(root["version"].as<std::uint32_t>(), policy.version);
        EXPECT_EQ(root["allow_override_critical"].IsDefined(), policy.allowOverrideCritical);
        if (policy.allowOverrideCritical) {
            EXPECT_TRUE(root["allow_override_critical"].as<bool>());
        }
        const YAML::Node defaults = root["defaults"];
        ASSERT_EQ(defaults.IsDefined(), policy.askTimeoutSeconds || policy.askThreshold) << text;
        if (policy.askTimeoutSeconds) {
            EXPECT_EQ(defaults["ask_timeout_seconds"].as<std::uint64_t>(), *policy.askTimeoutSeconds);
        }
        if (policy.askThreshold) {
            EXPECT_DOUBLE_EQ(defaults["ask_threshold"].as<double>(), *policy.askThreshold);
        }
        EXPECT_EQ(strings(root["disable"]), policy.disable) << text;

        const YAML::Node rules = root["rules"];
        ASSERT_EQ(rules.IsDefined(), !policy.rules.empty());
        if (policy.rules.empty()) continue;
        ASSERT_TRUE(rules.IsSequence());
        ASSERT_EQ(rules.size(), policy.rules.size());
        for (std::size_t i = 0; i < policy.rules.size(); ++i) {
            const UserRule& rule = policy.rules[i];
            const YAML::Node node = rules[i];
            EXPECT_EQ(node["id"].as<std::string>(), rule.id) << text;
            const bool described = rule.description && !rule.description->empty();
            ASSERT_EQ(node["description"].IsDefined(), described) << text;
            if (described) {
                EXPECT_EQ(node["description"].as<std::string>(), *rule.description) << text;
            }
            EXPECT_EQ(node["severity"].as<std::string>(), rule.severity);
            EXPECT_EQ(node["decision"].as<std::string>(), rule.decision);
            const YAML::Node match = node["match"];
            ASSERT_TRUE(match.IsMap()) << text;
            if (rule.matchKind == Kind::site) {
                expectSiteBlock(match, rule);
            } else {
                const char* key = rule.matchKind == Kind::program ? "program"
                                  : rule.matchKind == Kind::raw   ? "raw_any"
                                                                  : "paths";
                ASSERT_EQ(match.size(), 1u);
                EXPECT_EQ(strings(match[key]), rule.values) << text;
            }
        }
    }
}

}  // namespace
}  // namespace vardex
