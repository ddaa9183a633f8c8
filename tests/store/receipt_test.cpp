#include <gtest/gtest.h>

#include "service/service_home.hpp"
#include "support/scoped_env.hpp"
#include "support/store_harness.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

// The day's counts are the feed's test and the top catch the activity layer's; here, where the
// drawn card lands.

// ---- saving the rendered card ---------------------------------------------------------------

// Paths are relative to the test folder: the place given (empty: none), VARDEX_EXPORT_FILE (empty:
// unset), the save panel's choice (empty: cancelled) and where the image lands (empty: nowhere).
// `drawn`: the window host could render the card.
struct ExportCase { const char *name, *given, *exportFile, *panelAnswer; bool drawn; const char* wantFile; bool wantPanel; };

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
        EXPECT_EQ(readFile(at(c.wantFile)), *harness.windows.receiptBytes);
        EXPECT_EQ(store.lastMessage, "Saved receipt image: " + at(c.wantFile).filename().string());
    } else {
        EXPECT_FALSE(store.lastMessage.has_value());
    }
    EXPECT_EQ(readFile(at("out/old.png")), c.wantFile == std::string_view("out/old.png") ? *harness.windows.receiptBytes : "old image");
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
        ExportCase{"aFailedWriteLeavesWhatWasThere", "out", "", "", true, "", false}), caseName);

}  // namespace
}  // namespace vardex::testing
