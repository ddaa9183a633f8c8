#include <gtest/gtest.h>

#include "activity/audit_log_entry.hpp"

namespace vardex {
namespace {

using nlohmann::json;

struct Summary {
    const char* name;
    const char* action;  // JSON text, or nullptr for no value
    const char* expected;
};

class ActionSummary : public ::testing::TestWithParam<Summary> {};

TEST_P(ActionSummary, FirstRuleThatApplies) {
    json value = GetParam().action ? json::parse(GetParam().action) : json();
    EXPECT_EQ(AuditLogEntry::summarizeJSON(GetParam().action ? &value : nullptr), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ActionSummary,
    ::testing::Values(Summary{"NoValue", nullptr, "action"}, Summary{"NotAnObject", "[1]", "action"},
                      Summary{"RawFirst", R"({"raw":"ls -la","path":"/x"})", "ls -la"},
                      Summary{"EmptyRawThenKindAndPath", R"({"raw":"","path":"/etc/hosts","kind":"file_read"})", "file_read /etc/hosts"},
                      Summary{"PathWithoutKind", R"({"path":"/etc/hosts"})", "file /etc/hosts"},
                      Summary{"KindNotAText", R"({"path":"/etc/hosts","kind":7})", "file /etc/hosts"},
                      Summary{"EmptyUrlCounts", R"({"raw":5,"url":""})", ""},
                      Summary{"UrlBeforeHost", R"({"url":"https://x.test","host":"x.test"})", "https://x.test"},
                      Summary{"HostBeforeServer", R"({"host":"x.test","server":"a","tool":"b"})", "x.test"},
                      Summary{"ServerAndTool", R"({"server":"github","tool":"create_issue","kind":"mcp"})", "mcp github.create_issue"},
                      Summary{"ServerWithoutTool", R"({"server":"github","kind":"mcp_tool_call"})", "mcp_tool_call"},
                      Summary{"OnlyEmptyRaw", R"({"raw":""})", "action"}),
    [](const auto& row) { return std::string(row.param.name); });

struct LooseLine {
    const char* name;
    const char* line;
    std::optional<AuditLogEntry> expected;
};

AuditLogEntry entryWith(void (*edit)(AuditLogEntry&)) {
    AuditLogEntry entry;
    edit(entry);
    return entry;
}

class LenientReading : public ::testing::TestWithParam<LooseLine> {};

TEST_P(LenientReading, EachFieldOnItsOwn) { EXPECT_EQ(AuditLogEntry::parse(GetParam().line), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Lines, LenientReading,
    ::testing::Values(
        LooseLine{"DecisionAnyCase", R"({"decision":"ALLOW"})", entryWith([](AuditLogEntry& e) { e.decision = Outcome::allow; })},
        LooseLine{"ActionAlone", R"({"action":{"raw":""}})", AuditLogEntry{}},
        LooseLine{"AgentAnyCase", R"({"decision":"Ask","agent":"Claude"})", entryWith([](AuditLogEntry& e) {
                      e.decision = Outcome::ask;
                      e.agent = AgentKind::claude;
                  })},
        LooseLine{"UnknownWordsAreDefaults", R"({"decision":"allowed","agent":"windsurf"})", AuditLogEntry{}},
        LooseLine{"NullDecisionAndWholeRisk", R"({"decision":null,"agent":"CURSOR","risk":2})", entryWith([](AuditLogEntry& e) {
                      e.agent = AgentKind::cursor;
                      e.risk = 2.0;
                  })},
        LooseLine{"WrongTypesAreDefaultsAndBlanksAround",
                  "\u2003 {\"decision\":\"deny\",\"risk\":\"0.5\",\"session\":7,\"rule_id\":1} \t", AuditLogEntry{}},
        LooseLine{"EveryField", R"({"ts":"2025-03-01T09:15:02Z","agent":"codex","session":"s1",
                      "action":{"raw":"rm -rf /"},"decision":"deny","rule_id":"destructive.rm_home_root",
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
        LooseLine{"NeitherDecisionNorAction", R"({"ts":"x","hash":"h"})", std::nullopt},
        LooseLine{"NotAnObject", R"(["decision","allow"])", std::nullopt},
        LooseLine{"Unfinished", R"({"decision":"allow")", std::nullopt}, LooseLine{"Blank", "   ", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

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

TEST(DecisionEventConversion, CarriesSummaryRuleApproverAndAClampedRisk) {
    auto entry = AuditLogEntry::parse(R"({"agent":"mcp","session":"s","decision":"ask","rule_id":"money_movement",
                                           "action":{"server":"pay","tool":"send"},"approver":"menubar","risk":2})");
    ASSERT_TRUE(entry);
    DecisionEvent event = entry->asDecisionEvent();
    EXPECT_EQ(event.matchedRuleIds, std::vector<std::string>{"money_movement"});
    EXPECT_EQ(event.reasonUser, "mcp pay.send");
    EXPECT_EQ(event.reasonAgent, "Logged (menubar)");
    EXPECT_EQ(event.riskScore.value(), 1.0);
    entry->approver.reset();
    entry->ruleId.reset();
    entry->risk = -0.5;
    event = entry->asDecisionEvent();
    EXPECT_EQ(event.reasonAgent, "Logged");
    EXPECT_TRUE(event.matchedRuleIds.empty());
    EXPECT_EQ(event.riskScore.value(), 0.0);
}

TEST(TypedForm, WritesTheLogOrderWithSummaryAsActionAndReadsEveryKeyAsOptional) {
    AuditLogEntry entry;
    entry.ts = "2025-03-01T09:15:02Z";
    entry.agent = AgentKind::claude;
    entry.decision = Outcome::allow;
    entry.actionSummary = "ls";
    entry.risk = 0.5;
    entry.ruleId = "r";
    entry.approver = "menubar";
    entry.hash = "h";
    const std::string text = json_form::encodeAuditLogEntry(entry);
    EXPECT_EQ(text, R"({"ts":"2025-03-01T09:15:02Z","agent":"claude","session":"","decision":"allow","rule_id":"r",)"
                    R"("risk":0.5,"approver":"menubar","hash":"h","action":"ls"})");
    // The written "action" is a text, which summarises as a bare action when read back.
    entry.actionSummary = "action";
    EXPECT_EQ(json_form::decodeAuditLogEntry(json::parse(text)).value(), entry);
    EXPECT_EQ(json_form::decodeAuditLogEntry(json::object()).value(), AuditLogEntry{});
}

struct TypedFailure {
    const char* name;
    const char* text;
    const char* key;
};

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

INSTANTIATE_TEST_SUITE_P(
    Members, TypedDecoding,
    ::testing::Values(TypedFailure{"DecisionCase", R"({"decision":"ALLOW"})", "decision"},
                      TypedFailure{"AgentCase", R"({"decision":"allow","agent":"Claude"})", "agent"},
                      TypedFailure{"RiskText", R"({"decision":"allow","risk":"high"})", "risk"},
                      TypedFailure{"TimeNumber", R"({"decision":"allow","ts":12})", "ts"},
                      TypedFailure{"ApproverBoolean", R"({"action":{},"approver":false})", "approver"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace vardex
