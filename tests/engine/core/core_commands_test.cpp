#include <gtest/gtest.h>

#include <tuple>

#include "activity/audit_log_entry.hpp"
#include "activity/log_head.hpp"
#include "bridge/check_outcome.hpp"
#include "bridge/rules_catalog.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "core/builtin_rules.hpp"
#include "policy/user_policy_writer.hpp"
#include "support/temp_home.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

// The engine's commands, run as the app runs them: its own readers parse what they print.
class CoreCommands : public ::testing::Test {
protected:
    testing::TempHome home_;
    testing::ScopedEnv binary_{"VARDEX_BIN", VARDEX_ENGINE_EXE};
};

struct CheckCase {
    const char* name;
    CheckKind kind;
    const char* shell;
    const char* read;
    const char* server;
    const char* tool;
    const char* json;
    Outcome outcome;
    const char* ruleId;
    const char* summary;  // how the activity list shows the logged line
};

class Check : public CoreCommands, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(Check, PrintsADecisionAndLogsItUnderTheCheckSession) {
    const auto& c = GetParam();
    const auto outcome = CheckOutcome::run(c.kind, c.shell, c.read, c.server, c.tool, c.json);
    ASSERT_TRUE(outcome.decision.has_value()) << outcome.error.value_or("");
    EXPECT_EQ(std::tuple(outcome.exitCode, outcome.decision->outcome, outcome.decision->ruleId),
              std::tuple(0, c.outcome, c.ruleId ? std::optional<std::string>(c.ruleId) : std::nullopt));

    const auto logged = AuditLogEntry::readRecent(VardexPaths::auditLogURL(), 50);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(std::tuple(logged[0].session, logged[0].decision, logged[0].actionSummary, logged[0].hash.size()),
              std::tuple(std::string("check"), c.outcome, std::string(c.summary), std::size_t{64}));
}

INSTANTIATE_TEST_SUITE_P(Table, Check, ::testing::Values(
        CheckCase{"shell_denied", CheckKind::shell, "cd x && rm -rf ~", "", "", "", "", Outcome::deny, "destructive.rm_home_root", "cd x && rm -rf ~"},
        CheckCase{"read_asked", CheckKind::read, "", "/srv/app/.env", "", "", "", Outcome::ask, "secrets.dotenv", "file_read /srv/app/.env"},
        CheckCase{"tool_asked", CheckKind::mcp, "", "", "stripe", "create_payment", R"({"amount": 10})", Outcome::ask, "money_movement", "mcp stripe.create_payment"}), testing::byName);

TEST_F(CoreCommands, CheckRefusesToolDetailsThatAreNotJson) {
    const auto outcome = CheckOutcome::run(CheckKind::mcp, "", "", "fs", "read", "{not json");
    EXPECT_EQ(std::tuple(outcome.decision.has_value(), outcome.exitCode, outcome.error),
              std::tuple(false, 1, std::optional<std::string>("The tool details are not valid JSON.")));
}

TEST_F(CoreCommands, TheRuleListingReadsAsTheAppsCatalogue) {
    UserPolicyFile user;
    user.askTimeoutSeconds = 9;
    user.addSite("evil.example");
    user.setDisabled("priv.sudo", true);
    ASSERT_TRUE(UserPolicyWriter::save(user).ok());  // validated by this engine on the way

    const auto catalog = RulesCatalog::load();
    ASSERT_TRUE(catalog.ok()) << catalog.error().description();
    EXPECT_EQ(catalog->defaults.askTimeoutSeconds, 9u);
    // The built-ins left on (all but one), and the site.
    ASSERT_EQ(catalog->rules.size(), builtinRules("/home/u", selfPaths("/home/u")).size());
    EXPECT_EQ(catalog->rules.back().id, "user.protected.site.evil.example");
    EXPECT_EQ(catalog->rules.back().source, VardexPaths::userPolicyURL().string());
    ASSERT_EQ(catalog->disabled.size(), 1u);
    EXPECT_EQ(catalog->disabled[0].id, "priv.sudo");
}

TEST_F(CoreCommands, LogVerifyTellsWhetherTheChainHolds) {
    for (const char* command : {"ls", "pwd", "whoami"}) {
        ASSERT_TRUE(CheckOutcome::run(CheckKind::shell, command, "", "", "", "").decision.has_value());
    }
    const auto verify = [] {
        const auto run = VardexCli::runBinary(VARDEX_ENGINE_EXE, {"log", "verify"}).value();
        return std::pair(run.exitCode, run.combined());
    };
    EXPECT_EQ(verify(), std::pair(0, std::string("The activity log is intact: 3 entries checked.")));

    auto text = testing::readFile(VardexPaths::auditLogURL()).value_or("");
    text.replace(text.find("\"pwd\""), 5, "\"cwd\"");
    testing::writeFile(VardexPaths::auditLogURL(), text);
    EXPECT_EQ(verify(), std::pair(1, std::string("The activity log has been changed: line 2 was edited.")));
}

// What a changed policy would have decided over the logged actions, as the app shows it before
// the change is made.
struct ReplayCase {
    const char* name;
    const char* policy;  // the candidate policy's text
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> changed;  // "summary: before -> after", oldest first
};

class Replay : public CoreCommands, public ::testing::WithParamInterface<ReplayCase> {};

TEST_P(Replay, ListsWhatTheCandidateDecidesOtherwise) {
    for (const char* command : {"ls", "sudo ls", "git status", "sudo ls", "rm -rf ~"}) {
        ASSERT_TRUE(CheckOutcome::run(CheckKind::shell, command, "", "", "", "").decision.has_value());
    }
    const auto candidate = home_.path() / "candidate.yaml";
    testing::writeFile(candidate, GetParam().policy);
    std::vector<std::string> args{"replay", "--policy", candidate.string(), "--json"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const auto run = VardexCli::runBinary(VARDEX_ENGINE_EXE, args).value();
    ASSERT_EQ(run.exitCode, GetParam().exitCode) << run.combined();
    if (run.exitCode != 0) return;
    const auto out = nlohmann::json::parse(run.stdout);
    EXPECT_EQ(out["checked"], 5);
    std::vector<std::string> changed;
    for (const auto& d : out["differences"]) {
        changed.push_back(d["summary"].get<std::string>() + ": " + d["before"].get<std::string>() + " -> " + d["after"].get<std::string>());
    }
    EXPECT_EQ(changed, GetParam().changed);
}

INSTANTIATE_TEST_SUITE_P(Table, Replay, ::testing::Values(
        ReplayCase{"SwitchingOffARule", "version: 1\ndisable:\n  - priv.sudo\n", {}, 0, {"sudo ls: ask -> allow", "sudo ls: ask -> allow"}},
        ReplayCase{"TheSamePolicy", "version: 1\n", {"--since", "2h"}, 0, {}},
        // Critical built-ins stay on unless the policy says it may override them.
        ReplayCase{"ACriticalRuleCannotBeSwitchedOff", "version: 1\ndisable:\n  - destructive.rm_home_root\n", {}, 0, {}},
        ReplayCase{"APolicyThatIsNotOne", "version: 7\nrules: 3\n", {}, 1, {}},
        ReplayCase{"APeriodThatIsNotOne", "version: 1\n", {"--since", "a week"}, 2, {}}),
    testing::byName);

// A receipt's head, as the app reads it from the log, checked later by the engine.
struct HeadCase {
    const char* name;
    std::string (*head)(const LogHead& current, const std::vector<AuditLogEntry>& newestFirst);
    int exitCode;
    const char* lastLine;
};

class VerifyHead : public CoreCommands, public ::testing::WithParamInterface<HeadCase> {};

TEST_P(VerifyHead, ConfirmsTheLogStillHoldsAReceiptsHead) {
    for (const char* command : {"ls", "pwd", "whoami"}) {
        ASSERT_TRUE(CheckOutcome::run(CheckKind::shell, command, "", "", "", "").decision.has_value());
    }
    const auto current = LogHeadTally().advance(VardexPaths::auditLogURL());
    ASSERT_TRUE(current.has_value());
    ASSERT_EQ(current->entries, 3u);
    const auto head = GetParam().head(*current, AuditLogEntry::readRecent(VardexPaths::auditLogURL(), 0));
    const auto run = VardexCli::runBinary(VARDEX_ENGINE_EXE, {"log", "verify", "--head", head}).value();
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.combined();
    auto text = run.combined();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const auto lastLine = text.substr(text.rfind('\n') + 1);
    EXPECT_TRUE(lastLine.starts_with(GetParam().lastLine)) << text;
}

INSTANTIATE_TEST_SUITE_P(Table, VerifyHead, ::testing::Values(
        HeadCase{"TodaysHead", [](const LogHead& h, const auto&) { return logHeadText(h); }, 0, "It still holds the head 3:"},
        HeadCase{"AnEarlierReceipt", [](const LogHead&, const auto& log) { return "1:" + log.back().hash.substr(0, 12); }, 0, "It still holds the head 1:"},
        HeadCase{"AnotherLogsHead", [](const LogHead&, const auto&) { return std::string("3:000000000000"); }, 1, "It does not hold the head 3:000000000000: entry 3 has the fingerprint "},
        HeadCase{"MoreEntriesThanTheLogHas", [](const LogHead& h, const auto&) { return "9:" + h.hashPrefix; }, 1, "It does not hold the head 9:"},
        HeadCase{"NotAHead", [](const LogHead&, const auto&) { return std::string("yesterday"); }, 2, "\"yesterday\" is not a log head"}),
    testing::byName);

}  // namespace
}  // namespace vardex::engine
