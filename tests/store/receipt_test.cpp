#include <gtest/gtest.h>

#include "activity/timestamp.hpp"
#include "activity/zone.hpp"
#include "service/service_home.hpp"
#include "support/scoped_env.hpp"
#include "support/store_harness.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

AuditLogEntry logged(std::string ts, AgentKind agent, Outcome decision, std::optional<std::string> ruleId) {
    AuditLogEntry entry;
    entry.ts = std::move(ts);
    entry.agent = agent;
    entry.session = "s1";
    entry.decision = decision;
    entry.ruleId = std::move(ruleId);
    entry.hash = entry.ts;
    return entry;
}

struct ReceiptCase {
    const char* name;
    std::vector<AuditLogEntry> newestFirst;
    std::optional<std::string> topCatch;
    long long checked, blocked, asked;
};

class Receipt : public ::testing::TestWithParam<ReceiptCase> {};

// 00:30 on 2 March in a zone nine hours ahead of UTC, while UTC still reads 1 March.
TEST_P(Receipt, SummarisesTheLocalDayAtTheStoresClock) {
    ScopedZone zone("JST-9");
    StoreHarness harness;
    auto& store = harness.make();
    store.now = *readTimestamp("2026-03-01T15:30:00Z");
    store.auditEntries = GetParam().newestFirst;
    store.agents = {{"claude", "Claude Code", true, true, "", AgentInstallRow::Kind::claude}};
    store.exampleData = true;

    const auto receipt = store.receiptData();

    EXPECT_EQ(receipt.date, store.now);
    EXPECT_EQ(receipt.topCatch, GetParam().topCatch);
    // Which rows count as watching is the agent lists' test.
    EXPECT_EQ(receipt.agents, std::vector<std::string>{"Claude Code"});
    EXPECT_TRUE(receipt.example);
    EXPECT_EQ(receipt.checked, GetParam().checked);
    EXPECT_EQ(receipt.blocked, GetParam().blocked);
    EXPECT_EQ(receipt.asked, GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(
    Days, Receipt,
    ::testing::Values(
        // Written in UTC, the entries' text still names 1 March; here it is already 2 March.
        ReceiptCase{"utcTextOfTheLocalDay",
                    {logged("2026-03-01T15:25:00Z", AgentKind::cursor, Outcome::ask, "net.upload"),
                     logged("2026-03-01T15:20:00Z", AgentKind::claude, Outcome::deny, "secrets.ssh_private_key")},
                    "Claude Code: An AI app tried to read a private server key.", 2, 1, 1},
        ReceiptCase{"nothingBlockedToday",
                    {logged("2026-03-01T23:50:00+09:00", AgentKind::cursor, Outcome::deny, "secrets.dotenv")}, std::nullopt, 0, 0, 0}),
    [](const auto& test) { return std::string(test.param.name); });


// ---- saving the rendered card ---------------------------------------------------------------

struct ExportCase {
    const char* name;
    const char* given;         // relative to the test folder; empty: none
    const char* exportFile;    // VARDEX_EXPORT_FILE, relative; empty: unset
    const char* panelAnswer;   // the save panel's choice, relative; empty: cancelled
    bool drawn;                // the window host could render the card
    const char* wantFile;      // where the image lands, relative; empty: nowhere
    bool wantPanel;
};

class ReceiptExport : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ReceiptExport, LandsWhereItShouldAndSaysSo) {
    const auto& c = GetParam();
    TempFolder folder;
    const auto at = [&](const char* relative) { return folder.path() / relative; };
    std::filesystem::create_directories(at("out"));
    writeFile(at("out/old.png"), "old image");
    StoreHarness harness;
    ScopedEnv exportFile("VARDEX_EXPORT_FILE", *c.exportFile ? std::optional(at(c.exportFile).string()) : std::nullopt);
    auto& store = harness.make();
    store.exampleData = true;
    harness.windows.saveLocation = *c.panelAnswer ? std::optional(at(c.panelAnswer)) : std::nullopt;
    if (!c.drawn) harness.windows.receiptBytes.reset();

    store.exportReceiptPNG(*c.given ? std::optional(at(c.given)) : std::nullopt);

    EXPECT_EQ(harness.windows.saveRequests.size(), c.wantPanel ? 1U : 0U);
    if (c.wantPanel) {
        EXPECT_EQ(harness.windows.saveRequests.front().suggestedName, "vardex-receipt.png");
        EXPECT_EQ(harness.windows.saveRequests.front().contentTypes, std::vector<std::string>{"png"});
    }
    if (c.drawn) {
        ASSERT_EQ(harness.windows.receipts.size(), 1U);
        EXPECT_TRUE(harness.windows.receipts.front().example) << "the example badge follows the store";
    }
    if (*c.wantFile) {
        EXPECT_EQ(readAll(at(c.wantFile)), *harness.windows.receiptBytes);
        EXPECT_EQ(store.lastMessage, "Saved receipt image: " + at(c.wantFile).filename().string());
    } else {
        EXPECT_FALSE(store.lastMessage.has_value());
    }
    EXPECT_EQ(readAll(at("out/old.png")), c.wantFile == std::string_view("out/old.png") ? *harness.windows.receiptBytes : "old image");
    // Nothing but the image and the old file: no temporary file is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(at("out"))) ++files;
    EXPECT_EQ(files, 1U + (*c.wantFile && c.wantFile != std::string_view("out/old.png") ? 1U : 0U));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiptExport,
    ::testing::Values(
        ExportCase{"besideTheExportFileWhateverItsName", "", "out/activity.jsonl", "", true, "out/vardex-receipt.png", false},
        ExportCase{"savePanelChoice", "", "", "out/mine.png", true, "out/mine.png", true},
        ExportCase{"givenPlaceWinsAndReplacesAnOldImageWhole", "out/old.png", "out/log.jsonl", "", true, "out/old.png", false},
        ExportCase{"cancelledPanelChangesNothing", "", "", "", true, "", true},
        ExportCase{"nothingDrawnAsksNothing", "", "", "out/mine.png", false, "", false},
        ExportCase{"aFailedWriteLeavesWhatWasThere", "out", "", "", true, "", false}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace vardex::testing
