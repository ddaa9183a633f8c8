#include <functional>

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "store/vardex_store.hpp"
#include "ui/screens/main_window/pages/activity_page.hpp"
#include "ui/screens/main_window/pages/home_page.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

using vardex::testing::caseName;

AgentInstallRow agentRow(std::string id, std::string title, bool installed) {
    return {std::move(id), std::move(title), true, installed, "", AgentInstallRow::Kind::cursor};
}

// ---- simple home ------------------------------------------------------------------------------

struct HomeCase {
    const char* name;
    std::function<void(VardexStore&)> arrange;
    const char* wantTitle;
    const char* wantAction;  // empty: no action button
    std::function<void(ScreenHarness&)> check;  // after the action is clicked
};

class HomePageStatus : public ::testing::TestWithParam<HomeCase> {};

TEST_P(HomePageStatus, StatusCardNamesTheStateAndItsActionWorks) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    c.arrange(screens.store());
    HomePage page(screens.context(), nullptr);
    screens.settle();
    EXPECT_EQ(child<QLabel>(page, "statusTitle")->text().toStdString(), c.wantTitle);
    auto* action = child<QPushButton>(page, "statusAction");
    EXPECT_EQ(action->isVisibleTo(&page), *c.wantAction != '\0');
    if (*c.wantAction == '\0') return;
    EXPECT_EQ(action->text().toStdString(), c.wantAction);
    QTest::mouseClick(action, Qt::LeftButton);
    screens.settle();
    c.check(screens);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HomePageStatus,
    ::testing::Values(
        HomeCase{"stoppedAgentsArePausedEvenWhenProtectionIsNot",
                 [](VardexStore& store) {
                     store.connected = true;
                     store.agentsStopped = true;
                 },
                 "Your AI apps are stopped", "Turn back on",
                 [](ScreenHarness& screens) { EXPECT_FALSE(screens.store().agentsStopped); }},
        HomeCase{"pausedResumes",
                 [](VardexStore& store) {
                     store.connected = true;
                     store.pausedUntil = store.now + std::chrono::minutes(30);
                     store.persistPauseState();
                 },
                 "Paused", "Resume", [](ScreenHarness& screens) { EXPECT_FALSE(screens.store().pausedUntil); }},
        HomeCase{"needsFixConnectsTheFirstApp",
                 [](VardexStore& store) {
                     store.connected = true;
                     store.agents = {agentRow("cursor", "Cursor", false)};
                 },
                 "One thing to fix", "Fix it",
                 [](ScreenHarness& screens) {
                     const auto calls = screens.engineCalls();
                     EXPECT_NE(std::find(calls.begin(), calls.end(), "install --cursor"), calls.end());
                 }},
        HomeCase{"protectedHasNoAction",
                 [](VardexStore& store) {
                     store.connected = true;
                     store.agents = {agentRow("claude", "Claude Code", true)};
                 },
                 "You're protected", "", nullptr}),
    caseName);

TEST(HomePageApps, EachDetectedAppSaysWhetherItIsProtected) {
    ScreenHarness screens;
    screens.store().agents = {agentRow("cursor", "Cursor", false), agentRow("claude", "Claude Code", true)};
    HomePage page(screens.context(), nullptr);
    screens.settle();
    QStringList lines;
    for (auto* line : page.findChildren<QLabel*>(QStringLiteral("appLine"))) lines << line->text();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Cursor is not protected yet"), QStringLiteral("Claude Code is protected")}));
}

// ---- simple activity --------------------------------------------------------------------------

const std::vector<LogLine> twoGroups{
    {1, "cursor", "ls", "allow", ""},
    {2, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"},
    {3, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"},
};

struct ActivityCase {
    const char* name;
    std::vector<LogLine> log;
    std::vector<const char*> clicks;  // object names, clicked in order (the first match)
    std::size_t wantRows;
    std::size_t wantHidden;
    bool wantDeleteEnabled;
    bool wantToast;
};

class ActivityPageRows : public ::testing::TestWithParam<ActivityCase> {};

TEST_P(ActivityPageRows, DeleteHidesAndUndoBringsBack) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.writeLog(c.log);
    ActivityPage page(screens.context(), nullptr);
    page.show();
    screens.settle();
    for (const char* name : c.clicks) {
        auto* button = child<QPushButton>(page, name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        screens.settle();
    }
    int rows = 0;
    while (page.findChild<QWidget*>(QStringLiteral("activityRow%1").arg(rows))) ++rows;
    EXPECT_EQ(static_cast<std::size_t>(rows), c.wantRows);
    EXPECT_EQ(screens.store().hiddenEntryIds.size(), c.wantHidden);
    EXPECT_EQ(child<QPushButton>(page, "deleteAll")->isEnabled(), c.wantDeleteEnabled);
    EXPECT_EQ(child<QWidget>(page, "undoToast")->isVisible(), c.wantToast);
    EXPECT_EQ(child<QLabel>(page, "activityEmpty")->isVisible(), c.wantRows == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ActivityPageRows,
    ::testing::Values(ActivityCase{"emptyDayCannotDelete", {}, {}, 0, 0, false, false},
                      ActivityCase{"repeatsCollapseIntoOneRow", twoGroups, {}, 2, 0, true, false},
                      ActivityCase{"rowDeleteHidesTheWholeGroup", twoGroups, {"rowDelete"}, 1, 2, true, true},
                      ActivityCase{"undoBringsTheGroupBack", twoGroups, {"rowDelete", "undo"}, 2, 0, true, false},
                      ActivityCase{"clearTodayAfterConfirming", twoGroups, {"deleteAll", "deleteAllYes"}, 0, 3, false, true},
                      ActivityCase{"cancelKeepsTheDay", twoGroups, {"deleteAll", "deleteAllCancel"}, 2, 0, true, false},
                      ActivityCase{"yesterdayIsNotToday",
                                   {{-60, "claude", "ls", "allow", ""}}, {}, 0, 0, false, false}),
    caseName);

TEST(ActivityPageToast, GoesAwayByItselfAfterTheUndoWindow) {
    ScreenHarness screens;
    screens.writeLog(twoGroups);
    ActivityPage page(screens.context(), nullptr);
    page.show();
    screens.settle();
    QTest::mouseClick(child<QPushButton>(page, "rowDelete"), Qt::LeftButton);
    screens.settle();
    ASSERT_TRUE(child<QWidget>(page, "undoToast")->isVisible());
    screens.harness.queue.advance(10);
    screens.settle();
    EXPECT_FALSE(child<QWidget>(page, "undoToast")->isVisible());
    EXPECT_EQ(screens.store().hiddenEntryIds.size(), 2U) << "the deletion stays once the toast is gone";
}

TEST(ActivityPageWhy, OpensTheStoryOfTheRowsRule) {
    ScreenHarness screens;
    screens.writeLog(twoGroups);
    ActivityPage page(screens.context(), nullptr);
    page.show();
    screens.settle();
    QTest::mouseClick(child<QPushButton>(page, "rowWhy"), Qt::LeftButton);
    screens.settle();
    auto* story = child<QLabel>(page, "rowStory");
    ASSERT_NE(story, nullptr);
    EXPECT_TRUE(story->text().startsWith(QStringLiteral("An AI app tried to delete your home folder")));
}

}  // namespace
}  // namespace vardex::ui::testing
