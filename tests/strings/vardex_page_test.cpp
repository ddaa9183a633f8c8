#include <gtest/gtest.h>

#include "strings/ui_strings.hpp"
#include "strings/vardex_page.hpp"

namespace vardex {
namespace {

struct PageText {
    VardexPage page;
    std::string_view title;
    std::string_view subtitle;
};

class PageTexts : public ::testing::TestWithParam<PageText> {};

TEST_P(PageTexts, TitleSubtitleAndRawValue) {
    const auto& p = GetParam();
    EXPECT_EQ(UIStrings::pageTitle(p.page), p.title);
    EXPECT_EQ(UIStrings::pageSubtitle(p.page), p.subtitle);
    EXPECT_FALSE(symbolName(p.page).empty());
    EXPECT_EQ(parseWireText<VardexPage>(wireText(p.page)), p.page);
}

INSTANTIATE_TEST_SUITE_P(
    All, PageTexts,
    ::testing::Values(
        PageText{VardexPage::home, "Home", "See if you're protected right now."},
        PageText{VardexPage::activity, "Activity",
                 "What your AI apps tried today, and what was stopped."},
        PageText{VardexPage::protection, "Protection",
                 "Choose which folders and sites AI apps can't touch."},
        PageText{VardexPage::settings, "Settings", ""},
        PageText{VardexPage::onboarding, "Welcome", ""},
        PageText{VardexPage::rules, "Safety rules",
                 "The checks Vardex runs on actions it can see."},
        PageText{VardexPage::check, "Test an action",
                 "Try a command safely to see what Vardex would do."},
        PageText{VardexPage::doctor, "Check health",
                 "Make sure every AI app is connected and protected."},
        PageText{VardexPage::log, "Full activity list",
                 "Every decision, with the time and the app."},
        PageText{VardexPage::about, "About", ""},
        PageText{VardexPage::install, "Welcome", ""},
        PageText{VardexPage::folders, "Protected folders",
                 "Choose which folders and sites AI apps can't touch."}));

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
