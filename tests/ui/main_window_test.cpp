// The main window and its pages against a real store in a temporary home with a fake engine: which
// screen and page show, and what each control reaches in the store, the policy file and the engine.

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>

#include <nlohmann/json.hpp>

#include "activity/notice_policy.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/user_policy_file.hpp"
#include "strings/ui_strings.hpp"
#include "support/temp_folder.hpp"
#include "ui/screens/main_window/main_window.hpp"
#include "ui/screens/main_window/pages/activity_page.hpp"
#include "ui/screens/main_window/pages/check_page.hpp"
#include "ui/screens/main_window/pages/health_page.hpp"
#include "ui/screens/main_window/pages/home_page.hpp"
#include "ui/screens/main_window/pages/protection_page.hpp"
#include "ui/screens/main_window/pages/rules_page.hpp"
#include "ui/screens/main_window/pages/settings_page.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

// Consent comes before onboarding, onboarding before the pages.
TEST(MainWindowConsent, ConnectRecordsTheConsentAndAsksTheEngineToConnect) {
    ScreenHarness screens(pageEngine);
    screens.store().showConnectConsent = true;
    screens.store().showOnboarding = true;
    const auto window = screens.show<MainWindow>();
    const auto shown = [&] { return window->findChild<QStackedWidget*>()->currentWidget()->objectName().toStdString(); };
    EXPECT_EQ(shown(), "consentScreen");
    screens.click(*window, "consentConnect");
    EXPECT_FALSE(screens.store().showConnectConsent);
    EXPECT_EQ(shown(), "onboardingScreen");
    EXPECT_TRUE(screens.engineRan("connect --consent --json"));
}

TEST(MainWindowSidebar, AnEntryShowsItsPageAndThePreviewEntryLeadsNowhere) {
    ScreenHarness screens(pageEngine);
    screens.context().preferences.setValue("talkPreview", true);
    const auto window = screens.show<MainWindow>();
    auto* sidebar = child<QListWidget>(*window, "sidebar");
    const auto choose = [&](int row) { QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {}, sidebar->visualItemRect(sidebar->item(row)).center()); };
    choose(2);
    screens.settle();
    EXPECT_EQ(screens.store().page, VardexPages::visiblePages[2]);
    choose(sidebar->count() - 1);
    screens.settle();
    EXPECT_EQ(screens.store().page, VardexPages::visiblePages[2]);
}

// ---- home ---------------------------------------------------------------------------------------

AgentInstallRow agentRow(std::string id, std::string title, bool installed) {
    return {std::move(id), std::move(title), true, installed, "", AgentInstallRow::Kind::cursor};
}

struct HomeCase {
    const char* name;
    std::function<void(VardexStore&)> arrange;
    const char* wantTitle;
    QStringList wantAppLines;
    const char* wantAction;  // empty: no action button
    std::function<void(ScreenHarness&)> afterAction;
};

class HomePageStatus : public ::testing::TestWithParam<HomeCase> {};

TEST_P(HomePageStatus, StatusCardNamesTheStateAndItsActionWorks) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    screens.store().connected = true;
    c.arrange(screens.store());
    const auto page = screens.show<HomePage>(nullptr);
    EXPECT_EQ(child<QLabel>(*page, "statusTitle")->text().toStdString(), c.wantTitle);
    QStringList appLines;
    for (auto* line : page->findChildren<QLabel*>(QStringLiteral("appLine"))) appLines << line->text();
    EXPECT_EQ(appLines, c.wantAppLines);
    auto* action = child<QPushButton>(*page, "statusAction");
    EXPECT_EQ(action->isVisible() ? action->text().toStdString() : "", c.wantAction);
    if (!c.afterAction) return;
    screens.click(*page, "statusAction");
    c.afterAction(screens);
}

INSTANTIATE_TEST_SUITE_P(Cases, HomePageStatus, ::testing::Values(
        HomeCase{"stoppedAgentsArePausedEvenWhenProtectionIsNot", [](VardexStore& store) { store.agentsStopped = true; },
                 "Your AI apps are stopped", {}, "Turn back on", [](ScreenHarness& screens) { EXPECT_FALSE(screens.store().agentsStopped); }},
        HomeCase{"pausedResumes",
                 [](VardexStore& store) { store.pausedUntil = store.now + std::chrono::minutes(30); store.persistPauseState(); },
                 "Paused", {}, "Resume", [](ScreenHarness& screens) { EXPECT_FALSE(screens.store().pausedUntil); }},
        HomeCase{"needsFixConnectsTheFirstApp",
                 [](VardexStore& store) { store.agents = {agentRow("cursor", "Cursor", false), agentRow("claude", "Claude Code", true)}; },
                 "One thing to fix", {QStringLiteral("Cursor is not protected yet"), QStringLiteral("Claude Code is protected")}, "Fix it",
                 [](ScreenHarness& screens) { EXPECT_TRUE(screens.engineRan("install --cursor")); }},
        HomeCase{"protectedHasNoAction", [](VardexStore& store) { store.agents = {agentRow("claude", "Claude Code", true)}; },
                 "You're protected", {QStringLiteral("Claude Code is protected")}, "", nullptr}), caseName);

// ---- activity -----------------------------------------------------------------------------------

const std::vector<LogLine> twoGroups{{1, "cursor", "ls", "allow", ""}, {2, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"},
                                     {3, "claude", "rm -rf ~", "deny", "destructive.rm_home_root"}};

struct ActivityCase {
    const char* name;
    std::vector<LogLine> log;
    std::vector<const char*> clicks;  // object names, clicked in order (the first match)
    double wait;                      // seconds after the clicks
    std::size_t wantRows, wantHidden;
    bool wantDeleteEnabled, wantToast;
};

class ActivityPageRows : public ::testing::TestWithParam<ActivityCase> {};

TEST_P(ActivityPageRows, DeleteHidesAndUndoBringsBack) {
    const auto& c = GetParam();
    ScreenHarness screens;
    screens.writeLog(c.log);
    const auto page = screens.show<ActivityPage>(nullptr);
    for (const char* name : c.clicks) screens.click(*page, name);
    screens.advance(c.wait);
    std::size_t rows = 0;
    while (page->findChild<QWidget*>(QStringLiteral("activityRow%1").arg(rows))) ++rows;
    // Rows, hidden entries, Delete all enabled, the undo toast, the empty-day line.
    EXPECT_EQ(std::tuple(rows, screens.store().hiddenEntryIds.size(), child<QPushButton>(*page, "deleteAll")->isEnabled(),
                         child<QWidget>(*page, "undoToast")->isVisible(), child<QLabel>(*page, "activityEmpty")->isVisible()),
              std::tuple(c.wantRows, c.wantHidden, c.wantDeleteEnabled, c.wantToast, c.wantRows == 0));
}

INSTANTIATE_TEST_SUITE_P(Cases, ActivityPageRows, ::testing::Values(
        ActivityCase{"emptyDayCannotDelete", {}, {}, 0, 0, 0, false, false},
        ActivityCase{"rowDeleteHidesTheWholeGroup", twoGroups, {"rowDelete"}, 0, 1, 2, true, true},
        ActivityCase{"toastGoesAwayByItselfAndTheDeletionStays", twoGroups, {"rowDelete"}, 10, 1, 2, true, false},
        ActivityCase{"undoBringsTheGroupBack", twoGroups, {"rowDelete", "undo"}, 0, 2, 0, true, false},
        ActivityCase{"clearTodayAfterConfirming", twoGroups, {"deleteAll", "deleteAllYes"}, 0, 0, 3, false, true}), caseName);

// ---- forms on the pages -------------------------------------------------------------------------

// Besides clicks, a person types into a field or picks a combo entry.
Input type(const char* name, const char* text) {
    return [=](QWidget& page) {
        auto* field = child<QLineEdit>(page, name);
        ASSERT_NE(field, nullptr);
        field->clear();
        QTest::keyClicks(field, QString::fromUtf8(text));
    };
}
Input enter(const char* name) {
    return [=](QWidget& page) { QTest::keyClick(child<QLineEdit>(page, name), Qt::Key_Return); };
}
Input pick(const char* name, const char* text) {
    return [=](QWidget& page) {
        auto* combo = child<QComboBox>(page, name);
        const int index = combo ? combo->findText(QString::fromUtf8(text)) : -1;
        ASSERT_GE(index, 0) << text;
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
    };
}

struct FormCase {
    const char* name;
    std::function<std::unique_ptr<QWidget>(ScreenHarness&)> build;
    std::function<void(VardexStore&)> arrange = nullptr;
    std::vector<Input> steps;
    const char* errorLine;       // the label beside the form
    const char* wantError = "";  // empty: the line is hidden
    const char* wantRun = "";    // an engine command the steps ran; empty: none looked for
    // Builds the policy file that must be saved from an empty one; none: not looked at.
    std::function<void(UserPolicyFile&)> wantPolicy = nullptr;
    std::function<void(const VardexStore&)> check = nullptr;
};

class PageForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(PageForms, StepsReachTheStoreAndRefusalsShowBesideTheField) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    screens.store().catalog = *RulesCatalog::load();
    if (c.arrange) c.arrange(screens.store());
    const auto page = c.build(screens);
    for (const auto& step : c.steps) {
        step(*page);
        screens.settle();
    }
    auto* error = child<QLabel>(*page, c.errorLine);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->isVisible() ? error->text().toStdString() : "", c.wantError);
    EXPECT_TRUE(!*c.wantRun || screens.engineRan(c.wantRun)) << c.wantRun;
    if (c.wantPolicy) {
        UserPolicyFile want;
        c.wantPolicy(want);
        EXPECT_EQ(UserPolicyFile::loadFromHome(), want) << UserPolicyFile::loadFromHome().yaml();
    }
    if (c.check) c.check(screens.store());
}

template <class P>
const auto build = [](ScreenHarness& screens) -> std::unique_ptr<QWidget> { return screens.show<P>(nullptr); };

const auto openMore = [](VardexStore& store) { store.advancedOpen = true; };
const auto nothingSaved = [](UserPolicyFile&) {};

INSTANTIATE_TEST_SUITE_P(Settings, PageForms, ::testing::Values(
        FormCase{.name = "waitingTimeAndCautionAreSaved", .build = build<SettingsPage>, .arrange = openMore,
                 .steps = {type("askTimeout", "45"), type("askThreshold", "0.5"), click("saveSettings")}, .errorLine = "settingsError",
                 .wantPolicy = [](UserPolicyFile& p) { p.askTimeoutSeconds = 45; p.askThreshold = 0.5; }},
        FormCase{.name = "aWaitingTimeThatIsNotWholeIsRefused", .build = build<SettingsPage>, .arrange = openMore,
                 .steps = {type("askTimeout", "4.5"), click("saveSettings")}, .errorLine = "settingsError",
                 .wantError = "Waiting time must be a whole number of seconds.", .wantPolicy = nothingSaved},
        FormCase{.name = "pauseOnlyAfterConfirming", .build = build<SettingsPage>, .steps = {click("pause", "pauseYes")},
                 .errorLine = "settingsError", .check = [](const VardexStore& store) { EXPECT_TRUE(store.isPaused()); }},
        FormCase{.name = "pauseCancelled", .build = build<SettingsPage>, .steps = {click("pause", "pauseCancel")}, .errorLine = "settingsError",
                 .check = [](const VardexStore& store) { EXPECT_FALSE(store.isPaused() || store.confirmPause); }},
        FormCase{.name = "quietHoursAreKept", .build = build<SettingsPage>, .arrange = openMore,
                 .steps = {click("quietHours"), type("quietStart", "21:30"), type("quietEnd", "06:00"), enter("quietEnd")},
                 .errorLine = "settingsError", .check = [](const VardexStore&) {
                     const auto kept = NoticePolicy::fromSettings(nlohmann::json::parse(*vardex::testing::readFile(VardexPaths::settingsURL())));
                     EXPECT_EQ(std::tuple(kept.quietHoursEnabled, kept.quietStartMinutes, kept.quietEndMinutes), std::tuple(true, 1290, 360));
                 }}), caseName);

INSTANTIATE_TEST_SUITE_P(Policy, PageForms, ::testing::Values(
        FormCase{.name = "aSiteTheEngineRefusesIsNotKept", .build = build<ProtectionPage>,
                 .steps = {type("newSite", "refused.example"), click("addSite"), click("policyPreviewConfirm")}, .errorLine = "policyError",
                 .wantError = "That site is not allowed here.", .wantPolicy = nothingSaved},
        FormCase{.name = "removeTakesTheRuleOut", .build = build<ProtectionPage>,
                 .arrange = [](VardexStore& store) { store.userPolicy.addSite("example.org"); store.persistPolicy(); },
                 .steps = {click("removeRule"), click("policyPreviewConfirm")}, .errorLine = "policyError", .wantPolicy = nothingSaved},
        FormCase{.name = "aRuleWithoutWhatToWatchIsRefused", .build = build<RulesPage>,
                 .steps = {type("ruleName", "my.rule"), click("addRule")},
                 .errorLine = "ruleError", .wantError = "Say what this rule should watch.", .wantPolicy = nothingSaved},
        FormCase{.name = "aCommandRuleThatAsks", .build = build<RulesPage>,
                 .steps = {type("ruleName", "my.curl"), type("ruleWatch", "curl"), pick("ruleKind", "Command"),
                           pick("ruleDecision", "Ask first"), click("addRule"), click("policyPreviewConfirm")},
                 .errorLine = "ruleError",
                 .wantPolicy = [](UserPolicyFile& p) {
                     p.rules = {UserRule::custom("my.curl", "", "medium", "ask", UserRule::MatchKind::raw, "curl")};
                 }},
        FormCase{.name = "aSwitchTurnsARuleOff", .build = build<RulesPage>, .steps = {click("ruleSwitch"), click("policyPreviewConfirm")}, .errorLine = "ruleError",
                 .wantPolicy = [](UserPolicyFile& p) { p.disable = {"secrets.dotenv"}; }}), caseName);

// Adding a site waits for what it would have changed: progress while the engine works it out,
// then the difference, and only "Save change" writes it.
TEST(ProtectionPreview, TheConfirmationShowsTheDifferenceBeforeSaving) {
    ScreenHarness screens(std::string("[ \"$1\" = replay ] && echo '{\"checked\":6,\"differences\":["
                                      "{\"summary\":\"curl https://paste.example/up\",\"before\":\"allow\",\"after\":\"deny\"},"
                                      "{\"summary\":\"wget paste.example\",\"before\":\"allow\",\"after\":\"deny\"}]}' && exit 0\n") +
                          std::string(pageEngine));
    const auto page = screens.show<ProtectionPage>(nullptr);
    QTest::keyClicks(child<QLineEdit>(*page, "newSite"), QStringLiteral("paste.example"));
    QTest::mouseClick(child<QPushButton>(*page, "addSite"), Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* question = child<QLabel>(*page, "policyPreviewQuestion");
    auto* confirm = child<QPushButton>(*page, "policyPreviewConfirm");
    ASSERT_TRUE(question && confirm);
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->text().toStdString(), UIStrings::replayRunning);
    EXPECT_FALSE(confirm->isEnabled());

    screens.settle();
    EXPECT_EQ(question->text().toStdString(),
              "Over the last 7 days this would have blocked 2 actions that were allowed: curl https://paste.example/up; wget "
              "paste.example.");
    EXPECT_TRUE(confirm->isEnabled());
    EXPECT_TRUE(UserPolicyFile::loadFromHome().sites().empty());

    screens.click(*page, "policyPreviewConfirm");
    EXPECT_FALSE(question->isVisible());
    EXPECT_EQ(UserPolicyFile::loadFromHome().sites().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Engine, PageForms, ::testing::Values(
        FormCase{.name = "aFileReadIsTried", .build = build<CheckPage>,
                 .steps = {pick("checkKind", "Read a file"), type("checkRead", "~/.ssh/id_rsa"), click("runCheck")},
                 .errorLine = "checkError",
                 .wantRun = "check --json --read ~/.ssh/id_rsa",
                 .check = [](const VardexStore& store) { EXPECT_EQ(store.checkOutcome.decision->outcome, Outcome::deny); }},
        FormCase{.name = "anEmptyCommandIsNotRun", .build = build<CheckPage>, .steps = {click("runCheck")}, .errorLine = "checkError",
                 .wantError = "Type a command to test."},
        FormCase{.name = "disconnectAConnectedApp", .build = build<HealthPage>,
                 .arrange = [](VardexStore& store) { store.agents = {agentRow("cursor", "Cursor", true)}; },
                 .steps = {click("agentDisconnect")}, .errorLine = "doctorError", .wantRun = "connect --disconnect cursor"}), caseName);

}  // namespace
}  // namespace vardex::ui::testing
