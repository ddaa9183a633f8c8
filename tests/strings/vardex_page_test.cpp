#include <gtest/gtest.h>

#include "strings/ui_strings.hpp"
#include "strings/vardex_page.hpp"

namespace vardex {
namespace {

TEST(PageTexts, EveryPageHasATitleASymbolAndItsOwnRawValue) {
    for (const VardexPage page : VardexPages::allCases) {
        EXPECT_FALSE(UIStrings::pageTitle(page).empty());
        EXPECT_FALSE(symbolName(page).empty());
        EXPECT_EQ(parseWireText<VardexPage>(wireText(page)), page);
    }
    // Pages reached from another page share its subtitle.
    EXPECT_EQ(UIStrings::pageSubtitle(VardexPage::folders), UIStrings::pageSubtitle(VardexPage::protection));
}

TEST(VardexPageRaw, OnlyExactCaseNames) {
    EXPECT_FALSE(parseWireText<VardexPage>("Home"));
    EXPECT_FALSE(parseWireText<VardexPage>("home "));
    EXPECT_EQ(VardexPages::allCases.size(), 12u);
    EXPECT_EQ(VardexPages::allCases.back(), VardexPage::folders);
}

TEST(VardexPageGroups, VisiblePagesArePrimaryThenAdvancedThenFooter) {
    std::vector<VardexPage> expected(VardexPages::primaryPages.begin(),
                                     VardexPages::primaryPages.end());
    expected.insert(expected.end(), VardexPages::advancedPages.begin(),
                    VardexPages::advancedPages.end());
    expected.insert(expected.end(), VardexPages::footerPages.begin(),
                    VardexPages::footerPages.end());
    EXPECT_EQ(std::vector<VardexPage>(VardexPages::visiblePages.begin(),
                                      VardexPages::visiblePages.end()),
              expected);
}

}  // namespace
}  // namespace vardex
