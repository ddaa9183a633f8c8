#include <gtest/gtest.h>

#include "activity/audit_log_entry.hpp"
#include "support/case_name.hpp"

namespace vardex {
namespace {

using nlohmann::json;

struct Summary { const char *name, *action, *expected; };  // the action as JSON text

class ActionSummary : public ::testing::TestWithParam<Summary> {};

TEST_P(ActionSummary, FirstRuleThatApplies) {
    const json value = json::parse(GetParam().action);
    EXPECT_EQ(AuditLogEntry::summarizeJSON(&value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, ActionSummary, ::testing::Values(
        Summary{"NotAnObject", "[1]", "action"}, Summary{"OnlyEmptyRaw", R"({"raw":""})", "action"},
        Summary{"RawFirst", R"({"raw":"ls -la","path":"/x"})", "ls -la"},
        Summary{"EmptyRawThenKindAndPath", R"({"raw":"","path":"/etc/hosts","kind":"file_read"})", "file_read /etc/hosts"},
        Summary{"PathWithoutKind", R"({"path":"/etc/hosts","kind":7})", "file /etc/hosts"},
        Summary{"EmptyUrlCounts", R"({"raw":5,"url":""})", ""},
        Summary{"UrlBeforeHost", R"({"url":"https://x.test","host":"x.test"})", "https://x.test"},
        Summary{"HostBeforeServer", R"({"host":"x.test","server":"a","tool":"b"})", "x.test"},
        Summary{"ServerAndTool", R"({"server":"github","tool":"create_issue","kind":"mcp"})", "mcp github.create_issue"},
        Summary{"ServerWithoutTool", R"({"server":"github","kind":"mcp_tool_call"})", "mcp_tool_call"}), testing::caseName);

struct LooseLine { const char *name, *line; std::optional<AuditLogEntry> expected; };

AuditLogEntry entryWith(void (*edit)(AuditLogEntry&)) {
    AuditLogEntry entry;
    edit(entry);
    return entry;
}

class LenientReading : public ::testing::TestWithParam<LooseLine> {};

TEST_P(LenientReading, EachFieldOnItsOwn) { EXPECT_EQ(AuditLogEntry::parse(GetParam().line), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Lines, LenientReading, ::testing::Values(
        LooseLine{"ActionAlone", R"({"action":{"raw":""}})", AuditLogEntry{}},
        LooseLine{"WordsInAnyCase", R"({"decision":"Ask","agent":"CURSOR"})",
                  entryWith([](AuditLogEntry& e) { e.decision = Outcome::ask; e.agent = AgentKind::cursor; })},
        LooseLine{"UnknownWordsAreDefaults", R"({"decision":"allowed","agent":"windsurf","risk":2})",
                  entryWith([](AuditLogEntry& e) { e.risk = 2.0; })},
        LooseLine{"WrongTypesAreDefaultsAndBlanksAround",
                  "\u2003 {\"decision\":null,\"risk\":\"0.5\",\"session\":7,\"rule_id\":1} \t", AuditLogEntry{}},
        LooseLine{"EveryField", R"({"ts":"t","agent":"codex","session":"s1","action":{"raw":"rm -rf /"},"decision":"allow",
                                    "rule_id":"r","risk":0.9,"approver":"menubar","prev_hash":"p","hash":"h1","extra":[]})",
                  AuditLogEntry{"t", AgentKind::codex, "s1", "rm -rf /", Outcome::allow, "r", 0.9, "menubar", "h1", std::nullopt}},
        LooseLine{"NeitherDecisionNorAction", R"({"ts":"x","hash":"h"})", std::nullopt},
        LooseLine{"NotAnObject", R"(["decision","allow"])", std::nullopt},
        LooseLine{"Unfinished", R"({"decision":"allow")", std::nullopt}, LooseLine{"Blank", "   ", std::nullopt}), testing::caseName);

TEST(AuditLogEntryId, HashOrElseTimeSessionAndSummary) {
    AuditLogEntry entry{"t", AgentKind::claude, "s", "ls", Outcome::allow, std::nullopt, 0.0, std::nullopt, "", std::nullopt};
    EXPECT_EQ(entry.id(), "tsls");
    entry.hash = "abc";
    EXPECT_EQ(entry.id(), "abc");
}

TEST(DecisionEventConversion, CarriesSummaryRuleApproverAndAClampedRisk) {
    auto entry = AuditLogEntry::parse(R"({"agent":"mcp","session":"s","decision":"ask","rule_id":"money_movement",
                                           "action":{"server":"pay","tool":"send"},"approver":"menubar","risk":2})").value();
    DecisionEvent expected{AgentKind::mcp, "s", "money_movement", Outcome::ask, Severity::info, *RiskScore::make(1.0),
                           "mcp pay.send", "Logged (menubar)", {"money_movement"}, "mcp pay.send"};
    EXPECT_EQ(entry.asDecisionEvent(), expected);
    entry.approver.reset();
    entry.risk = -0.5;
    expected.reasonAgent = "Logged";
    expected.riskScore = *RiskScore::make(0.0);
    EXPECT_EQ(entry.asDecisionEvent(), expected);
}

TEST(TypedForm, WritesTheLogOrderWithSummaryAsActionAndReadsEveryKeyAsOptional) {
    AuditLogEntry entry{"2025-03-01T09:15:02Z", AgentKind::claude, "", "ls", Outcome::allow, "r", 0.5, "menubar", "h", std::nullopt};
    const std::string text = json_form::encodeAuditLogEntry(entry);
    EXPECT_EQ(text, R"({"ts":"2025-03-01T09:15:02Z","agent":"claude","session":"","decision":"allow","rule_id":"r",)"
                    R"("risk":0.5,"approver":"menubar","hash":"h","action":"ls"})");
    // The written "action" is a text, which summarises as a bare action when read back.
    entry.actionSummary = "action";
    EXPECT_EQ(json_form::decodeAuditLogEntry(json::parse(text)).value(), entry);
    EXPECT_EQ(json_form::decodeAuditLogEntry(json::object()).value(), AuditLogEntry{});
}

struct TypedFailure { const char *name, *text, *key; };

class TypedDecoding : public ::testing::TestWithParam<TypedFailure> {};

TEST_P(TypedDecoding, StrictWhereTheLenientReaderForgives) {
    json value = json::parse(GetParam().text);
    auto decoded = json_form::decodeAuditLogEntry(value);
    ASSERT_FALSE(decoded.ok());
    ASSERT_FALSE(decoded.error().codingPath.empty());
    EXPECT_EQ(decoded.error().codingPath.back(), GetParam().key);
    // The lenient reader takes the same line with a default.
    EXPECT_TRUE(AuditLogEntry::fromLoose(value));
}

INSTANTIATE_TEST_SUITE_P(Members, TypedDecoding, ::testing::Values(
        TypedFailure{"DecisionCase", R"({"decision":"ALLOW"})", "decision"},
        TypedFailure{"RiskText", R"({"decision":"allow","risk":"high"})", "risk"},
        TypedFailure{"ApproverBoolean", R"({"action":{},"approver":false})", "approver"}), testing::caseName);

}  // namespace
}  // namespace vardex
