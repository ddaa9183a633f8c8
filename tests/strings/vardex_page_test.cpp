#include <gtest/gtest.h>

#include "strings/ui_strings.hpp"
#include "strings/vardex_page.hpp"

namespace vardex {
namespace {

TEST(VardexPage, EveryPageHasATitleASymbolAndReadsBackFromItsRawValue) {
    for (const VardexPage page : VardexPages::allCases) {
        EXPECT_FALSE(UIStrings::pageTitle(page).empty());
        EXPECT_FALSE(symbolName(page).empty());
        EXPECT_EQ(parseWireText<VardexPage>(wireText(page)), page);
    }
    // Pages reached from another page share its subtitle.
    EXPECT_EQ(UIStrings::pageSubtitle(VardexPage::folders), UIStrings::pageSubtitle(VardexPage::protection));
}

}  // namespace
}  // namespace vardex
