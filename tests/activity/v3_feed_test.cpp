#include <gtest/gtest.h>

#include "activity/v3_feed.hpp"
#include "support/case_name.hpp"
#include "zone.hpp"

namespace vardex {
namespace {

AuditLogEntry entry(std::string ts, std::string summary, Outcome decision = Outcome::allow, std::string hash = "",
                    std::string session = "s", std::optional<std::string> ruleId = std::nullopt,
                    AgentKind agent = AgentKind::claude) {
    return {std::move(ts), agent, std::move(session), std::move(summary), decision, std::move(ruleId), 0.0, std::nullopt, std::move(hash), std::nullopt};
}

TimePoint at(const char* ts) { return *readTimestamp(ts); }

std::vector<std::string> idsOf(const std::vector<AuditLogEntry>& entries) {
    std::vector<std::string> ids;
    for (const auto& e : entries) ids.push_back(e.id());
    return ids;
}

TEST(Today, TakesTheDayInTheUsersZone) {
    // 2025-03-02 12:00 UTC is 07:00 in New York and 21:00 in Tokyo.
    const TimePoint now = at("2025-03-02T12:00:00Z");
    std::vector<AuditLogEntry> entries{
        entry("2025-03-02T01:00:00Z", "yesterday evening in New York", Outcome::allow, "ny"),
        entry("2025-03-01T16:00:00Z", "after midnight in Tokyo", Outcome::allow, "tokyo"),
        entry("2025-03-02T11:00:00Z", "this morning everywhere", Outcome::allow, "all"),
        entry("2025-03-02", "no time", Outcome::allow, "none"),
    };
    LocalCalendar calendar;
    const std::pair<const char*, std::vector<std::string>> zones[] = {
        {"UTC0", {"ny", "all"}}, {"EST5", {"all"}}, {"JST-9", {"ny", "tokyo", "all"}}};
    for (const auto& [name, today] : zones) {
        testing::ScopedZone zone(name);
        EXPECT_EQ(idsOf(V3Feed::today(entries, now, calendar)), today) << name;
    }
}

TEST(Groups, CollapsesRepeatsAndKeepsTheNewest) {
    std::vector<AuditLogEntry> entries{
        entry("2025-03-01T10:00:00Z", "ls", Outcome::allow, "a", "s1"), entry("2025-03-01T12:00:00Z", "ls", Outcome::allow, "b", "s2"),
        entry("2025-03-01T11:00:00Z", "ls", Outcome::deny, "c"), entry("2025-03-01T11:00:00Z", "ls", Outcome::allow, "d", "s3"),
        entry("2025-03-01T09:00:00Z", "ls", Outcome::allow, "e", "s3", "r"),
        entry("2025-03-01T09:00:00Z", "ls", Outcome::allow, "f", "s3", std::nullopt, AgentKind::cursor),
    };
    // Same summary, decision, rule and agent make one group, whatever the session.
    std::vector<std::vector<std::string>> grouped;
    for (const auto& group : V3Feed::groups(entries)) grouped.push_back(group.ids);
    EXPECT_EQ(grouped, (std::vector<std::vector<std::string>>{{"a", "b", "d"}, {"c"}, {"e"}, {"f"}}));
    EXPECT_EQ(V3Feed::groups(entries)[0].latest.hash, "b");
}

struct Latest { const char *name, *firstTs, *secondTs, *latest; };

class GroupLatest : public ::testing::TestWithParam<Latest> {};

TEST_P(GroupLatest, OnlyAStrictlyLaterTimeReplaces) {
    auto groups = V3Feed::groups({entry(GetParam().firstTs, "x", Outcome::allow, "first"),
                                  entry(GetParam().secondTs, "x", Outcome::allow, "second")});
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].latest.hash, GetParam().latest);
}

INSTANTIATE_TEST_SUITE_P(Times, GroupLatest, ::testing::Values(
        Latest{"SameMomentOtherZone", "2025-03-01T10:00:00Z", "2025-03-01T19:00:00+09:00", "first"},
        Latest{"OneMillisecondLater", "2025-03-01T10:00:00Z", "2025-03-01T10:00:00.001Z", "second"},
        Latest{"UnreadableFirst", "garbage", "2025-03-01T10:00:00Z", "second"}), testing::caseName);

std::string times(std::string_view text, int count) {
    std::string out;
    while (count-- > 0) out += text;
    return out;
}

struct What { const char* name; std::string summary, expected; };

class ObjectDescription : public ::testing::TestWithParam<What> {};

TEST_P(ObjectDescription, ShortenedByCharacters) { EXPECT_EQ(V3Feed::what(GetParam().summary), GetParam().expected); }

const std::string accent = "e\u0301";  // one character, two code points
const std::string thumb = "\U0001F44D\U0001F3FD";  // one character, eight bytes

INSTANTIATE_TEST_SUITE_P(Summaries, ObjectDescription, ::testing::Values(
        What{"OnlyBlanks", " \n\u2003", ""}, What{"Command", "ls", "the command \u201Cls\u201D"},
        What{"HomeFileTrimmed", "  ~/notes.txt\n", "the file ~/notes.txt"},
        What{"SixtyOneCut", times("a", 61), "the command \u201C" + times("a", 57) + "\u2026\u201D"},
        What{"LongFile", "/" + times("b", 70), "the file /" + times("b", 56) + "\u2026"},
        What{"CombiningMarksCountOnce", times(accent, 60), "the command \u201C" + times(accent, 60) + "\u201D"},
        What{"ClustersCutWhole", times(thumb, 61), "the command \u201C" + times(thumb, 57) + "\u2026\u201D"}), testing::caseName);

}  // namespace
}  // namespace vardex
