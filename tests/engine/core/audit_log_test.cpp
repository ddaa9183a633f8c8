#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <functional>

#include <nlohmann/json.hpp>

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
            n % 5 == 0 ? std::optional<std::string>("menubar") : std::nullopt, std::nullopt};
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

// What a crash (or a power cut) leaves at each point of an append, and whether the next append
// goes on from it: the log verifies at once, and again after the next append, which the anchor
// then names.
struct CrashCase {
    const char* name;
    std::function<void(const std::filesystem::path& log)> crash;
    std::size_t entriesAfterCrash;
};

class AfterACrash : public AuditLog, public ::testing::WithParamInterface<CrashCase> {};

TEST_P(AfterACrash, TheLogVerifiesAndTheNextAppendGoesOn) {
    GetParam().crash(log_);
    const auto crashed = verifyAuditLog(log_);
    ASSERT_TRUE(crashed.ok());
    EXPECT_TRUE(crashed->intact()) << crashed->message();
    EXPECT_EQ(crashed->entries, GetParam().entriesAfterCrash);

    ASSERT_TRUE(appendAuditRecord(log_, record("s2", 9)).ok());
    const auto after = verifyAuditLog(log_);
    EXPECT_TRUE(after->intact() && after->anchor == AnchorCheck::matches) << after->message();
    EXPECT_EQ(std::pair(after->entries, after->anchoredEntries),
              std::pair(GetParam().entriesAfterCrash + 1, GetParam().entriesAfterCrash + 1));
    EXPECT_EQ(AuditLogEntry::readRecent(log_, 1).at(0).session, "s2");
}

// The anchor as it was before one more append: the crash came between the line and the anchor.
void appendWithoutTheAnchor(const std::filesystem::path& log) {
    const auto anchor = testing::readFile(anchorPathFor(log));
    ASSERT_TRUE(appendAuditRecord(log, record("s1", 5)).ok());
    testing::writeFile(anchorPathFor(log), *anchor);
}

void appendBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::app) << bytes;
}

INSTANTIATE_TEST_SUITE_P(Table, AfterACrash, ::testing::Values(
        CrashCase{"line_half_written", [](auto& log) { appendBytes(log, readLines(log)[0].substr(0, 30)); }, 4},
        CrashCase{"line_without_its_feed", [](auto& log) { appendBytes(log, readLines(log)[3]); }, 4},
        CrashCase{"zeros_where_the_line_was", [](auto& log) { appendBytes(log, std::string(200, '\0')); }, 4},
        CrashCase{"line_flushed_anchor_not_moved", appendWithoutTheAnchor, 5},
        CrashCase{"anchor_half_replaced", [](auto& log) { testing::writeFile(anchorPathFor(log).string() + ".tmp", "{\"ent"); }, 4}),
    testing::byName);

// The anchor is sealed with a key only the engine's files hold; a process that may write the
// log's folder but not read the key cannot make a rewritten log pass.
struct SealCase {
    const char* name;
    std::function<void(const std::filesystem::path& log, const std::filesystem::path& scratch)> change;
    AnchorCheck expected;
};

class SealedAnchor : public AuditLog, public ::testing::WithParamInterface<SealCase> {};

TEST_P(SealedAnchor, OnlyTheKeyHolderMovesIt) {
    GetParam().change(log_, folder_.path());
    const auto report = verifyAuditLog(log_);
    ASSERT_TRUE(report.ok());
    EXPECT_EQ(report->anchor, GetParam().expected) << report->message();
    EXPECT_EQ(report->intact(), GetParam().expected == AnchorCheck::matches) << report->message();
}

// A log of `count` lines made elsewhere, and an anchor for its end as an engine without the key
// would write it, both put over the real ones.
void rewriteWithAnchor(const std::filesystem::path& log, const std::filesystem::path& scratch, int count) {
    const auto other = scratch / "forger/audit.jsonl";
    for (int n = 1; n <= count; ++n) ASSERT_TRUE(appendAuditRecord(other, record("forged", n)).ok());
    std::filesystem::copy_file(other, log, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(anchorPathFor(other), anchorPathFor(log), std::filesystem::copy_options::overwrite_existing);
}

void appendChainedLine(const std::filesystem::path& log, bool sealedElsewhere) {
    auto last = nlohmann::json::parse(readLines(log).back());
    nlohmann::json line = last;
    line["prev_hash"] = last["hash"];
    line["session"] = "planted";
    line.erase("mac");
    line.erase("hash");
    const auto hash = sha256Hex(last["hash"].get<std::string>() + "\n" + line.dump());
    line["hash"] = hash;
    if (sealedElsewhere) line["mac"] = hmacHex(std::string(64, 'a'), hash);
    appendBytes(log, line.dump() + "\n");
}

INSTANTIATE_TEST_SUITE_P(Table, SealedAnchor, ::testing::Values(
        SealCase{"rewritten_with_its_own_anchor", [](auto& log, auto& s) { rewriteWithAnchor(log, s, 6); }, AnchorCheck::forged},
        SealCase{"anchor_unsealed", [](auto& log, auto&) { auto anchor = nlohmann::json::parse(*testing::readFile(anchorPathFor(log))); anchor.erase("mac"); testing::writeFile(anchorPathFor(log), anchor.dump()); }, AnchorCheck::forged},
        SealCase{"key_removed", [](auto& log, auto&) { std::filesystem::remove(keyPathFor(log)); }, AnchorCheck::keyMissing},
        SealCase{"key_replaced", [](auto& log, auto&) { testing::writeFile(keyPathFor(log), std::string(64, 'b') + "\n"); }, AnchorCheck::forged},
        SealCase{"unsealed_line_planted", [](auto& log, auto&) { appendChainedLine(log, false); }, AnchorCheck::extended},
        SealCase{"line_sealed_with_a_guessed_key", [](auto& log, auto&) { appendChainedLine(log, true); }, AnchorCheck::extended}),
    testing::byName);

// A log from before logs had keys: its anchor is taken once, as the first append makes the key.
TEST_F(AuditLog, AnAnchorFromBeforeKeysIsSealedByTheNextAppend) {
    auto anchor = nlohmann::json::parse(*testing::readFile(anchorPathFor(log_)));
    anchor.erase("mac");
    anchor["version"] = 1;
    testing::writeFile(anchorPathFor(log_), anchor.dump() + "\n");
    std::filesystem::remove(keyPathFor(log_));
    EXPECT_TRUE(verifyAuditLog(log_)->intact()) << verifyAuditLog(log_)->message();

    ASSERT_TRUE(appendAuditRecord(log_, record("s2", 5)).ok());
    const auto report = verifyAuditLog(log_);
    EXPECT_TRUE(report->intact() && report->anchoredEntries == 5u) << report->message();
    EXPECT_TRUE(nlohmann::json::parse(*testing::readFile(anchorPathFor(log_))).contains("mac"));
}

// Work the optimiser cannot remove: the stretch before a kill is real time spent.
void keepBusy(long value) { asm volatile("" : : "r"(value) : "memory"); }

// A real writer killed at random points of its appends, again and again: whatever it leaves
// verifies, and no entry it finished is lost.
TEST(KilledWriter, LeavesALogThatVerifiesWhereverItIsKilled) {
    testing::TempFolder folder;
    const auto log = folder / "audit.jsonl";
    std::mt19937 random(std::random_device{}());
    std::size_t entries = 0;
    for (int round = 0; round < 60; ++round) {
        int progress[2];
        ASSERT_EQ(::pipe(progress), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(progress[0]);
            for (int n = 0;; ++n) {
                if (!appendAuditRecord(log, record("killed", n)).ok()) ::_exit(1);
                if (::write(progress[1], "x", 1) != 1) ::_exit(1);
            }
        }
        ::close(progress[1]);
        // One finished append, then the kill lands after a random stretch of work: anywhere in
        // the appends that follow.
        char byte = 0;
        ASSERT_EQ(::read(progress[0], &byte, 1), 1);
        const auto spins = std::uniform_int_distribution<long>(0, 3'000'000)(random);
        for (long spin = 0; spin < spins; ++spin) keepBusy(spin);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(progress[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own in round " << round;
        const auto report = verifyAuditLog(log);
        ASSERT_TRUE(report.ok()) << report.error();
        ASSERT_TRUE(report->intact()) << "round " << round << ": " << report->message();
        ASSERT_GT(report->entries, entries) << "round " << round;
        entries = report->entries;
    }
}

TEST_F(AuditLog, AMissingLogIsIntactAndEmpty) {
    const auto report = verifyAuditLog(folder_ / "none.jsonl");
    ASSERT_TRUE(report.ok());
    EXPECT_TRUE(report->intact() && report->entries == 0u) << report->message();
}

}  // namespace
}  // namespace vardex::engine
