#include <functional>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "policy/user_policy_file.hpp"
#include "store/vardex_store.hpp"
#include "ui/screens/main_window/pages/check_page.hpp"
#include "ui/screens/main_window/pages/health_page.hpp"
#include "ui/screens/main_window/pages/protection_page.hpp"
#include "ui/screens/main_window/pages/rules_page.hpp"
#include "ui/screens/main_window/pages/settings_page.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui::testing {
namespace {

using vardex::testing::caseName;

// One step a user takes on a page: type into a field, pick a combo entry, click, or choose a
// folder in the page's picker.
struct Step {
    enum Kind { type, enter, pick, click, chooseFolder } kind;
    const char* name;
    const char* text = "";
};

void perform(QWidget& page, ScreenHarness& screens, const Step& step) {
    switch (step.kind) {
        case Step::type:
        case Step::enter: {
            auto* field = child<QLineEdit>(page, step.name);
            ASSERT_NE(field, nullptr);
            field->clear();
            QTest::keyClicks(field, QString::fromUtf8(step.text));
            if (step.kind == Step::enter) QTest::keyClick(field, Qt::Key_Return);
            break;
        }
        case Step::pick: {
            auto* combo = child<QComboBox>(page, step.name);
            ASSERT_NE(combo, nullptr);
            const int index = combo->findText(QString::fromUtf8(step.text));
            ASSERT_GE(index, 0) << step.text;
            combo->setCurrentIndex(index);
            Q_EMIT combo->activated(index);
            break;
        }
        case Step::click: {
            auto* target = child<QAbstractButton>(page, step.name);
            ASSERT_NE(target, nullptr);
            QTest::mouseClick(target, Qt::LeftButton);
            break;
        }
        case Step::chooseFolder: {
            auto* dialog = page.findChild<QFileDialog*>(QStringLiteral("folderPicker"));
            ASSERT_NE(dialog, nullptr) << "the picker did not open";
            Q_EMIT dialog->fileSelected(QString::fromUtf8(step.text));
            dialog->close();
            break;
        }
    }
    screens.settle();
}

struct FormCase {
    const char* name;
    std::function<QWidget*(ScreenContext&)> build;
    std::function<void(VardexStore&)> arrange;
    std::vector<Step> steps;
    const char* errorLine;  // the label beside the form
    const char* wantError;  // empty: the line is hidden
    std::function<void(ScreenHarness&)> check;
};

class PageForms : public ::testing::TestWithParam<FormCase> {};

TEST_P(PageForms, StepsReachTheStoreAndRefusalsShowBesideTheField) {
    const auto& c = GetParam();
    ScreenHarness screens(pageEngine);
    screens.store().catalog = *RulesCatalog::load();
    if (c.arrange) c.arrange(screens.store());
    std::unique_ptr<QWidget> page(c.build(screens.context()));
    page->show();
    screens.settle();
    for (const auto& step : c.steps) perform(*page, screens, step);
    auto* error = child<QLabel>(*page, c.errorLine);
    ASSERT_NE(error, nullptr);
    if (*c.wantError == '\0') {
        EXPECT_FALSE(error->isVisible()) << error->text().toStdString();
    } else {
        EXPECT_TRUE(error->isVisible());
        EXPECT_EQ(error->text().toStdString(), c.wantError);
    }
    if (c.check) c.check(screens);
}

template <class P>
std::function<QWidget*(ScreenContext&)> build() {
    return [](ScreenContext& context) { return new P(context, nullptr); };
}

UserPolicyFile savedPolicy() { return UserPolicyFile::loadFromHome(); }

bool hasCall(ScreenHarness& screens, const std::string& call) {
    const auto calls = screens.engineCalls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

const auto openMore = [](VardexStore& store) { store.advancedOpen = true; };

INSTANTIATE_TEST_SUITE_P(
    Settings, PageForms,
    ::testing::Values(
        FormCase{"waitingTimeAndCautionAreSaved", build<SettingsPage>(), openMore,
                 {{Step::type, "askTimeout", "45"}, {Step::type, "askThreshold", "0.5"}, {Step::click, "saveSettings"}},
                 "settingsError", "",
                 [](ScreenHarness&) {
                     EXPECT_EQ(savedPolicy().askTimeoutSeconds, 45U);
                     EXPECT_EQ(savedPolicy().askThreshold, 0.5);
                 }},
        FormCase{"aWaitingTimeThatIsNotWholeIsRefused", build<SettingsPage>(), openMore,
                 {{Step::type, "askTimeout", "4.5"}, {Step::click, "saveSettings"}}, "settingsError",
                 "Waiting time must be a whole number of seconds.",
                 [](ScreenHarness&) { EXPECT_FALSE(savedPolicy().askTimeoutSeconds); }},
        FormCase{"aCautionAboveOneIsRefused", build<SettingsPage>(), openMore,
                 {{Step::type, "askThreshold", "1.5"}, {Step::click, "saveSettings"}}, "settingsError",
                 "The caution level must be between 0 and 1.", nullptr},
        FormCase{"pauseOnlyAfterConfirming", build<SettingsPage>(), nullptr, {{Step::click, "pause"}, {Step::click, "pauseYes"}},
                 "settingsError", "", [](ScreenHarness& screens) { EXPECT_TRUE(screens.store().isPaused()); }},
        FormCase{"quietHoursAreKeptAsTyped", build<SettingsPage>(), openMore,
                 {{Step::click, "quietHours"}, {Step::enter, "quietStart", "7:5"}},
                 "settingsError", "",
                 [](ScreenHarness& screens) {
                     EXPECT_TRUE(screens.store().quietHoursEnabled);
                     EXPECT_EQ(screens.store().notice.quietStartMinutes, 425);
                 }}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Protection, PageForms,
    ::testing::Values(
        FormCase{"aSiteIsAddedAsItsBareDomain", build<ProtectionPage>(), nullptr,
                 {{Step::type, "newSite", "https://www.Example.com/path"}, {Step::click, "addSite"}}, "policyError", "",
                 [](ScreenHarness&) {
                     const auto sites = savedPolicy().sites();
                     ASSERT_EQ(sites.size(), 1U);
                     EXPECT_EQ(sites.front().values.front(), "example.com");
                 }},
        FormCase{"aSiteTheEngineRefusesIsNotKept", build<ProtectionPage>(), nullptr,
                 {{Step::type, "newSite", "refused.example"}, {Step::click, "addSite"}}, "policyError",
                 "That site is not allowed here.", [](ScreenHarness&) { EXPECT_TRUE(savedPolicy().sites().empty()); }},
        FormCase{"aFolderFromThePicker", build<ProtectionPage>(), nullptr,
                 {{Step::click, "addFolder"}, {Step::chooseFolder, "", "/srv/payroll/"}}, "policyError", "",
                 [](ScreenHarness&) {
                     const auto folders = savedPolicy().folders();
                     ASSERT_EQ(folders.size(), 1U);
                     EXPECT_EQ(folders.front().values.front(), "/srv/payroll");
                 }},
        FormCase{"removeTakesTheRuleOut", build<ProtectionPage>(),
                 [](VardexStore& store) {
                     store.userPolicy.addSite("example.org");
                     store.persistPolicy();
                 },
                 {{Step::click, "removeRule"}}, "policyError", "",
                 [](ScreenHarness&) { EXPECT_TRUE(savedPolicy().sites().empty()); }}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Rules, PageForms,
    ::testing::Values(
        FormCase{"aRuleWithoutWhatToWatchIsRefused", build<RulesPage>(), nullptr,
                 {{Step::type, "ruleName", "my.rule"}, {Step::click, "addRule"}}, "ruleError",
                 "Say what this rule should watch.", [](ScreenHarness&) { EXPECT_TRUE(savedPolicy().custom().empty()); }},
        FormCase{"aNameWithoutDotIsRefused", build<RulesPage>(), nullptr,
                 {{Step::type, "ruleName", "myrule"}, {Step::type, "ruleWatch", "curl"}, {Step::click, "addRule"}},
                 "ruleError", "Give the rule a short name such as my.rule", nullptr},
        FormCase{"aCommandRuleThatAsks", build<RulesPage>(), nullptr,
                 {{Step::type, "ruleName", "my.curl"},
                  {Step::type, "ruleWatch", "curl"},
                  {Step::pick, "ruleKind", "Command"},
                  {Step::pick, "ruleDecision", "Ask first"},
                  {Step::click, "addRule"}},
                 "ruleError", "",
                 [](ScreenHarness&) {
                     const auto custom = savedPolicy().custom();
                     ASSERT_EQ(custom.size(), 1U);
                     EXPECT_EQ(custom.front().id, "my.curl");
                     EXPECT_EQ(custom.front().matchKind, UserRule::MatchKind::raw);
                     EXPECT_EQ(custom.front().decision, "ask");
                 }},
        FormCase{"aSwitchTurnsARuleOff", build<RulesPage>(), nullptr, {{Step::click, "ruleSwitch"}}, "ruleError", "",
                 [](ScreenHarness&) { EXPECT_EQ(savedPolicy().disable, std::vector<std::string>{"secrets.dotenv"}); }}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Check, PageForms,
    ::testing::Values(
        FormCase{"aFileReadIsTried", build<CheckPage>(), nullptr,
                 {{Step::pick, "checkKind", "Read a file"}, {Step::type, "checkRead", "~/.ssh/id_rsa"}, {Step::click, "runCheck"}},
                 "checkError", "",
                 [](ScreenHarness& screens) {
                     EXPECT_TRUE(hasCall(screens, "check --json --read ~/.ssh/id_rsa"));
                     EXPECT_EQ(screens.store().checkOutcome.decision->outcome, Outcome::deny);
                 }},
        FormCase{"anEmptyCommandIsNotRun", build<CheckPage>(), nullptr, {{Step::click, "runCheck"}}, "checkError",
                 "Type a command to test.", [](ScreenHarness& screens) { EXPECT_FALSE(hasCall(screens, "check --json")); }}),
    caseName);

INSTANTIATE_TEST_SUITE_P(
    Health, PageForms,
    ::testing::Values(
        FormCase{"disconnectAConnectedApp", build<HealthPage>(),
                 [](VardexStore& store) {
                     store.agents = {{"cursor", "Cursor", true, true, "", AgentInstallRow::Kind::cursor}};
                 },
                 {{Step::click, "agentDisconnect"}}, "doctorError", "",
                 [](ScreenHarness& screens) { EXPECT_TRUE(hasCall(screens, "connect --disconnect cursor")); }},
        FormCase{"fixAllRepairsEveryApp", build<HealthPage>(), nullptr, {{Step::click, "fixAll"}}, "doctorError", "",
                 [](ScreenHarness& screens) { EXPECT_TRUE(hasCall(screens, "install --all")); }},
        FormCase{"refreshAsksForTheReport", build<HealthPage>(), nullptr, {{Step::click, "refresh"}}, "doctorError", "",
                 [](ScreenHarness& screens) { EXPECT_TRUE(hasCall(screens, "doctor --json")); }}),
    caseName);

}  // namespace
}  // namespace vardex::ui::testing
