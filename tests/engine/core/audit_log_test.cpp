#include <gtest/gtest.h>

#include <functional>

#include "activity/audit_log_entry.hpp"
#include "core/audit_log.hpp"
#include "support/temp_folder.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

using testing::readLines;

AuditRecord record(const std::string& session, int n) {
    const bool denied = n % 3 == 0;
    return {"2026-12-06T09:15:0" + std::to_string(n % 10) + "Z", AgentKind::claude, session,
            {{"kind", "shell"}, {"raw", "echo " + std::to_string(n)}, {"cwd", "/w"}}, denied ? Outcome::deny : Outcome::allow,
            denied ? std::optional<std::string>("priv.sudo") : std::nullopt, denied ? 0.8 : 0.0,
            n % 5 == 0 ? std::optional<std::string>("menubar") : std::nullopt};
}

void writeLines(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    testing::writeFile(file, text);
}

class AuditLog : public ::testing::Test {
protected:
    // Four lines in a folder that does not exist yet.
    void SetUp() override {
        for (int n = 1; n <= 4; ++n) {
            const auto hash = appendAuditRecord(log_, record("s1", n));
            ASSERT_TRUE(hash.ok()) << hash.error();
        }
    }

    testing::TempFolder folder_;
    std::filesystem::path log_ = folder_ / "state/nested/audit.jsonl";
};

struct Tampering {
    const char* name;
    std::function<void(std::vector<std::string>&)> change;
    std::size_t badLine;
};

class ChainTampering : public AuditLog, public ::testing::WithParamInterface<Tampering> {};

TEST_P(ChainTampering, NamesTheFirstBadLine) {
    auto lines = readLines(log_);
    GetParam().change(lines);
    writeLines(log_, lines);
    const auto report = verifyAuditLog(log_);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(std::pair(report->intact(), report->badLine), std::pair(false, std::optional(GetParam().badLine)));
    EXPECT_NE(report->message().find("line " + std::to_string(GetParam().badLine)), std::string::npos)
        << report->message();
}

INSTANTIATE_TEST_SUITE_P(Table, ChainTampering, ::testing::Values(
        Tampering{"one_byte_of_the_action", [](auto& l) { l[1].replace(l[1].find("echo 2"), 6, "echo 3"); }, 2},
        Tampering{"one_byte_of_a_hash", [](auto& l) { l[3].insert(l[3].find("\"hash\":\"") + 8, "0"); }, 4},
        Tampering{"a_line_deleted", [](auto& l) { l.erase(l.begin() + 1); }, 2},
        Tampering{"the_first_line_deleted", [](auto& l) { l.erase(l.begin()); }, 1},
        Tampering{"lines_swapped", [](auto& l) { std::swap(l[1], l[2]); }, 2},
        Tampering{"not_json", [](auto& l) { l[1] = "hello"; }, 2}), testing::byName);

// Puts over `log` a log made elsewhere from the same records: the same lines, hash for hash.
void replaceWithSame(const std::filesystem::path& log, const std::filesystem::path& scratch, int count,
                     const std::string& session = "s1") {
    const auto other = scratch / ("other-" + session + std::to_string(count) + "/audit.jsonl");
    for (int n = 1; n <= count; ++n) EXPECT_TRUE(appendAuditRecord(other, record(session, n)).ok());
    std::filesystem::copy_file(other, log, std::filesystem::copy_options::overwrite_existing);
}

struct AnchorCase {
    const char* name;
    std::function<void(const std::filesystem::path& log, const std::filesystem::path& scratch)> change;
    AnchorCheck expected;
    std::size_t entries;  // what the chain holds afterwards
};

class LogAgainstItsAnchor : public AuditLog, public ::testing::WithParamInterface<AnchorCase> {};

// Every way of losing lines without breaking the chain is told apart from an intact log.
TEST_P(LogAgainstItsAnchor, TellsWhatHappenedSince) {
    GetParam().change(log_, folder_.path());
    const auto report = verifyAuditLog(log_);
    ASSERT_TRUE(report.ok()) << report.error();
    EXPECT_FALSE(report->badLine) << report->message();
    EXPECT_EQ(report->anchor, GetParam().expected) << report->message();
    EXPECT_EQ(report->entries, GetParam().entries);
    EXPECT_EQ(report->intact(), GetParam().expected == AnchorCheck::matches) << report->message();
    EXPECT_EQ(report->message().find("intact") != std::string::npos, report->intact()) << report->message();
}

INSTANTIATE_TEST_SUITE_P(Table, LogAgainstItsAnchor, ::testing::Values(
        AnchorCase{"untouched", [](auto&, auto&) {}, AnchorCheck::matches, 4},
        AnchorCase{"last_lines_cut", [](auto& log, auto& scratch) { replaceWithSame(log, scratch, 2); }, AnchorCheck::cutShort, 2},
        AnchorCase{"cut_then_appended_to", [](auto& log, auto& scratch) { replaceWithSame(log, scratch, 2); EXPECT_TRUE(appendAuditRecord(log, record("s9", 9)).ok()); }, AnchorCheck::cutShort, 3},
        AnchorCase{"emptied", [](auto& log, auto&) { testing::writeFile(log, ""); }, AnchorCheck::emptied, 0},
        AnchorCase{"deleted", [](auto& log, auto&) { std::filesystem::remove(log); }, AnchorCheck::deleted, 0},
        AnchorCase{"rechained", [](auto& log, auto& s) { replaceWithSame(log, s, 5, "forged"); }, AnchorCheck::rechained, 5},
        AnchorCase{"lines_added_outside", [](auto& log, auto& s) { replaceWithSame(log, s, 6); }, AnchorCheck::extended, 6},
        AnchorCase{"anchor_removed", [](auto& log, auto&) { std::filesystem::remove(anchorPathFor(log)); }, AnchorCheck::none, 4},
        AnchorCase{"anchor_damaged", [](auto& log, auto&) { testing::writeFile(anchorPathFor(log), "{\"entries\":4}"); EXPECT_TRUE(appendAuditRecord(log, record("s1", 5)).ok()); }, AnchorCheck::unreadable, 5}), testing::byName);

TEST_F(AuditLog, ALineCutShortIsClosedOffBeforeTheNextAppend) {
    auto lines = readLines(log_);
    lines.push_back(lines[0].substr(0, 20));  // a write that was interrupted
    writeLines(log_, lines);
    std::filesystem::resize_file(log_, std::filesystem::file_size(log_) - 1);
    ASSERT_TRUE(appendAuditRecord(log_, record("s2", 5)).ok());
    lines.push_back(readLines(log_).back());
    EXPECT_EQ(readLines(log_), lines);
    EXPECT_EQ(AuditLogEntry::readRecent(log_, 1).at(0).session, "s2");
    EXPECT_EQ(verifyAuditLog(log_)->badLine, 5u);
}

TEST_F(AuditLog, AMissingLogIsIntactAndEmpty) {
    const auto report = verifyAuditLog(folder_ / "none.jsonl");
    ASSERT_TRUE(report.ok());
    EXPECT_TRUE(report->intact() && report->entries == 0u) << report->message();
}

}  // namespace
}  // namespace vardex::engine
