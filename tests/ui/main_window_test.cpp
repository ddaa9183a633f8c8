#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "store/vardex_store.hpp"
#include "ui/screens/main_window/main_window.hpp"
#include "ui/screens/main_window/pages/page.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

using vardex::testing::caseName;

struct ScreenCase {
    const char* name;
    std::function<void(VardexStore&)> arrange;
    const char* wantScreen;
};

class MainWindowScreens : public ::testing::TestWithParam<ScreenCase> {};

// Consent wins over onboarding, onboarding over the pages; a click on each moves on.
TEST_P(MainWindowScreens, ShowsTheScreenThatIsDue) {
    ScreenHarness screens;
    GetParam().arrange(screens.store());
    MainWindow window(screens.context());
    screens.settle();
    auto* stack = window.findChild<QStackedWidget*>();
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->currentWidget()->objectName().toStdString(), GetParam().wantScreen);
    EXPECT_EQ(window.size(), MainWindow::fixedSize);
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the main window keeps its size";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowScreens,
    ::testing::Values(
        ScreenCase{"consentBeforeOnboarding",
                   [](VardexStore& store) {
                       store.showConnectConsent = true;
                       store.showOnboarding = true;
                   },
                   "consentScreen"},
        ScreenCase{"onboardingWhenConsentIsGiven", [](VardexStore& store) { store.showOnboarding = true; }, "onboardingScreen"},
        ScreenCase{"pagesOtherwise", [](VardexStore&) {}, "workspace"}),
    caseName);

TEST(MainWindowConsent, ConnectRecordsTheConsentAndAsksTheEngineToConnect) {
    ScreenHarness screens(pageEngine);
    screens.store().showConnectConsent = true;
    MainWindow window(screens.context());
    window.show();
    screens.settle();
    QTest::mouseClick(child<QPushButton>(window, "consentConnect"), Qt::LeftButton);
    screens.settle();
    EXPECT_FALSE(screens.store().showConnectConsent);
    EXPECT_EQ(window.findChild<QStackedWidget*>()->currentWidget()->objectName(), QStringLiteral("workspace"));
    const auto calls = screens.engineCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "connect --consent --json"), calls.end());
}

struct SidebarCase {
    const char* name;
    bool talkPreview;
    const char* click;  // the sidebar entry's text
    VardexPage start;
    VardexPage wantPage;
    const char* wantShown;
};

class MainWindowSidebar : public ::testing::TestWithParam<SidebarCase> {};

TEST_P(MainWindowSidebar, ChoosingAnEntryShowsItsPage) {
    const auto& c = GetParam();
    ScreenHarness screens;
    if (c.talkPreview) screens.harness.preferences.values["talkPreview"] = true;
    screens.store().page = c.start;
    MainWindow window(screens.context());
    screens.settle();
    auto* sidebar = child<QListWidget>(window, "sidebar");
    ASSERT_NE(sidebar, nullptr);
    const auto found = sidebar->findItems(QString::fromUtf8(c.click), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << c.click;
    const QRect where = sidebar->visualItemRect(found.front());
    window.show();
    QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, where.center());
    screens.settle();
    EXPECT_EQ(screens.store().page, c.wantPage);
    auto* pages = child<QStackedWidget>(window, "pages");
    EXPECT_EQ(pages->currentWidget()->objectName().toStdString(), c.wantShown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowSidebar,
    ::testing::Values(SidebarCase{"rulesEntry", false, "Safety rules", VardexPage::home, VardexPage::rules, "page_rules"},
                      SidebarCase{"talkEntryIsInert", true, "Talk · Coming soon", VardexPage::about, VardexPage::about,
                                  "page_about"},
                      SidebarCase{"fromFoldersToTheFullList", false, "Full activity list", VardexPage::folders,
                                  VardexPage::log, "page_log"}),
    caseName);

TEST(MainWindowSidebar, AStorePageWithoutEntryShowsTheEntryThatHoldsIt) {
    ScreenHarness screens;
    screens.store().page = VardexPage::folders;
    MainWindow window(screens.context());
    screens.settle();
    EXPECT_EQ(child<QStackedWidget>(window, "pages")->currentWidget()->objectName(), QStringLiteral("page_protection"));
    EXPECT_EQ(child<QListWidget>(window, "sidebar")->currentItem()->text(), QStringLiteral("Protection"));
}

}  // namespace
}  // namespace vardex::ui::testing
