#include <gtest/gtest.h>

#include "activity/audit_log_entry.hpp"

namespace vardex {
namespace {

using nlohmann::json;

struct Summary {
    const char* action;  // JSON text, or nullptr for no value
    const char* expected;
};

class ActionSummary : public ::testing::TestWithParam<Summary> {};

TEST_P(ActionSummary, FirstRuleThatApplies) {
    if (GetParam().action == nullptr) {
        EXPECT_EQ(AuditLogEntry::summarizeJSON(nullptr), GetParam().expected);
        return;
    }
    json value = json::parse(GetParam().action);
    EXPECT_EQ(AuditLogEntry::summarizeJSON(&value), GetParam().expected) << GetParam().action;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ActionSummary,
    ::testing::Values(
        Summary{nullptr, "action"}, Summary{"[1]", "action"}, Summary{"\"ls\"", "action"},
        Summary{R"({"raw":"ls -la","path":"/x"})", "ls -la"},
        Summary{R"({"raw":"","path":"/etc/hosts","kind":"file_read"})", "file_read /etc/hosts"},
        Summary{R"({"path":"/etc/hosts"})", "file /etc/hosts"},
        Summary{R"({"path":"/etc/hosts","kind":7})", "file /etc/hosts"},
        Summary{R"({"raw":5,"url":""})", ""},
        Summary{R"({"url":"https://x.test","host":"x.test"})", "https://x.test"},
        Summary{R"({"host":"x.test","server":"a","tool":"b"})", "x.test"},
        Summary{R"({"server":"github","tool":"create_issue","kind":"mcp"})",
                "mcp github.create_issue"},
        Summary{R"({"server":"github","kind":"mcp_tool_call"})", "mcp_tool_call"},
        Summary{R"({"raw":""})", "action"}, Summary{"{}", "action"}));

struct LooseLine {
    const char* line;
    std::optional<AuditLogEntry> expected;
};

AuditLogEntry entryWith(void (*edit)(AuditLogEntry&)) {
    AuditLogEntry entry;
    edit(entry);
    return entry;
}

class LenientReading : public ::testing::TestWithParam<LooseLine> {};

TEST_P(LenientReading, EachFieldOnItsOwn) {
    EXPECT_EQ(AuditLogEntry::parse(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LenientReading,
    ::testing::Values(
        LooseLine{R"({"decision":"ALLOW"})",
                  entryWith([](AuditLogEntry& e) { e.decision = Outcome::allow; })},
        LooseLine{R"({"action":{"raw":""}})", AuditLogEntry{}},
        LooseLine{R"({"decision":"Ask","agent":"Claude"})", entryWith([](AuditLogEntry& e) {
                      e.decision = Outcome::ask;
                      e.agent = AgentKind::claude;
                  })},
        LooseLine{R"({"decision":"allowed","agent":"windsurf"})", AuditLogEntry{}},
        LooseLine{R"({"decision":null,"agent":"CURSOR","risk":2})", entryWith([](AuditLogEntry& e) {
                      e.agent = AgentKind::cursor;
                      e.risk = 2.0;
                  })},
        LooseLine{"\u2003 {\"decision\":\"deny\",\"risk\":\"0.5\",\"session\":7,\"rule_id\":1} \t",
                  AuditLogEntry{}},
        LooseLine{R"({"ts":"2025-03-01T09:15:02Z","agent":"codex","session":"s1",
                      "action":{"raw":"rm -rf /"},"decision":"deny",
                      "rule_id":"destructive.rm_home_root",
                      "risk":0.9,"approver":"menubar","prev_hash":"p","hash":"h1","extra":[]})",
                  entryWith([](AuditLogEntry& e) {
                      e.ts = "2025-03-01T09:15:02Z";
                      e.agent = AgentKind::codex;
                      e.session = "s1";
                      e.actionSummary = "rm -rf /";
                      e.ruleId = "destructive.rm_home_root";
                      e.risk = 0.9;
                      e.approver = "menubar";
                      e.hash = "h1";
                  })},
        LooseLine{R"({"ts":"x","hash":"h"})", std::nullopt},
        LooseLine{R"(["decision","allow"])", std::nullopt},
        LooseLine{R"({"decision":"allow")", std::nullopt},
        LooseLine{"   ", std::nullopt}, LooseLine{"", std::nullopt}));

TEST(AuditLogEntryId, HashOrTimeSessionAndSummary) {
    AuditLogEntry entry;
    EXPECT_EQ(entry.id(), "action");
    entry.ts = "t";
    entry.session = "s";
    entry.actionSummary = "ls";
    EXPECT_EQ(entry.id(), "tsls");
    entry.hash = "abc";
    EXPECT_EQ(entry.id(), "abc");
}

struct RiskClamp {
    double risk;
    double score;
};

class DecisionEventRisk : public ::testing::TestWithParam<RiskClamp> {};

TEST_P(DecisionEventRisk, ClampedIntoTheScoreRange) {
    AuditLogEntry entry;
    entry.risk = GetParam().risk;
    EXPECT_EQ(entry.asDecisionEvent().riskScore.value(), GetParam().score);
}

INSTANTIATE_TEST_SUITE_P(Values, DecisionEventRisk,
                         ::testing::Values(RiskClamp{2.0, 1.0}, RiskClamp{-0.5, 0.0},
                                           RiskClamp{0.25, 0.25}, RiskClamp{1.0, 1.0}));

TEST(DecisionEventConversion, CarriesSummaryRuleAndApprover) {
    auto entry = AuditLogEntry::parse(
        R"({"agent":"mcp","session":"s","decision":"ask","rule_id":"money_movement",
            "action":{"server":"pay","tool":"send"},"approver":"menubar"})");
    ASSERT_TRUE(entry);
    DecisionEvent event = entry->asDecisionEvent();
    EXPECT_EQ(event.agent, AgentKind::mcp);
    EXPECT_EQ(event.session, "s");
    EXPECT_EQ(event.decision, Outcome::ask);
    EXPECT_EQ(event.severity, Severity::info);
    EXPECT_EQ(event.ruleId, "money_movement");
    EXPECT_EQ(event.matchedRuleIds, std::vector<std::string>{"money_movement"});
    EXPECT_EQ(event.reasonUser, "mcp pay.send");
    EXPECT_EQ(event.actionSummary, "mcp pay.send");
    EXPECT_EQ(event.reasonAgent, "Logged (menubar)");

    entry->approver.reset();
    entry->ruleId.reset();
    event = entry->asDecisionEvent();
    EXPECT_EQ(event.reasonAgent, "Logged");
    EXPECT_TRUE(event.matchedRuleIds.empty());
}

TEST(TypedForm, WritesTheLogOrderWithSummaryAsAction) {
    AuditLogEntry entry;
    entry.ts = "2025-03-01T09:15:02Z";
    entry.agent = AgentKind::claude;
    entry.decision = Outcome::allow;
    entry.actionSummary = "ls";
    entry.risk = 0.5;
    entry.hash = "h";
    EXPECT_EQ(json_form::encodeAuditLogEntry(entry),
              R"({"ts":"2025-03-01T09:15:02Z","agent":"claude","session":"","decision":"allow",)"
              R"("risk":0.5,"hash":"h","action":"ls"})");
    entry.ruleId = "r";
    entry.approver = "menubar";
    std::string text = json_form::encodeAuditLogEntry(entry);
    EXPECT_LT(text.find("\"rule_id\""), text.find("\"risk\""));
    EXPECT_LT(text.find("\"approver\""), text.find("\"hash\""));

    // The written "action" is a text, which summarises as a bare action when read back.
    auto back = json_form::decodeAuditLogEntry(json::parse(text));
    ASSERT_TRUE(back.ok());
    entry.actionSummary = "action";
    EXPECT_EQ(*back, entry);
}

struct TypedFailure {
    const char* text;
    const char* key;
};

class TypedDecoding : public ::testing::TestWithParam<TypedFailure> {};

TEST_P(TypedDecoding, StrictWhereTheLenientReaderForgives) {
    json value = json::parse(GetParam().text);
    auto decoded = json_form::decodeAuditLogEntry(value);
    ASSERT_FALSE(decoded.ok()) << GetParam().text;
    ASSERT_FALSE(decoded.error().codingPath.empty());
    EXPECT_EQ(decoded.error().codingPath.back(), GetParam().key);
    // The lenient reader takes the same line with a default.
    EXPECT_TRUE(AuditLogEntry::fromLoose(value));
}

INSTANTIATE_TEST_SUITE_P(
    Members, TypedDecoding,
    ::testing::Values(TypedFailure{R"({"decision":"ALLOW"})", "decision"},
                      TypedFailure{R"({"decision":"allow","agent":"Claude"})", "agent"},
                      TypedFailure{R"({"decision":"allow","risk":"high"})", "risk"},
                      TypedFailure{R"({"decision":"allow","ts":12})", "ts"},
                      TypedFailure{R"({"action":{},"approver":false})", "approver"}));

TEST(TypedForm, EveryKeyOptional) {
    auto decoded = json_form::decodeAuditLogEntry(json::object());
    ASSERT_TRUE(decoded.ok());
    EXPECT_EQ(*decoded, AuditLogEntry{});
}

}  // namespace
}  // namespace vardex
