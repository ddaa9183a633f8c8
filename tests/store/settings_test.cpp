#include <gtest/gtest.h>

#include "bridge/vardex_paths.hpp"
#include "service/service_home.hpp"
#include "support/fake_engine_store.hpp"

namespace vardex::testing {
namespace {

namespace fs = std::filesystem;

void writeSettings(const std::optional<std::string>& content) {
    if (content) writeFile(VardexPaths::settingsURL(), *content);
}

// ---- writing the settings file -----------------------------------------------------------

struct WriteCase { const char* name; std::optional<std::string> before; std::string key; bool value; std::string after; };

class SettingsWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(SettingsWriteTest, ChangesOneKeyAndKeepsTheRest) {
    const auto& c = GetParam();
    StoreHarness harness;
    auto& store = harness.make();
    writeSettings(c.before);

    store.persistSetting(c.key, c.value);

    EXPECT_EQ(readFile(VardexPaths::settingsURL()), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsWriteTest,
    ::testing::Values(
        WriteCase{"keepsUnknownKeysAndNesting", R"({"later":{"list":[1,2.5,"x"]}})", "firstLaunchCompleted", true,
                  R"({"firstLaunchCompleted":true,"later":{"list":[1,2.5,"x"]}})"},
        WriteCase{"notJSONStartsAfresh", "{\"connectConsented\":tr", "autoProtectNew", true, R"({"autoProtectNew":true})"},
        WriteCase{"notAnObjectStartsAfresh", R"([{"connectConsented":true}])", "autoProtectNew", false,
                  R"({"autoProtectNew":false})"}),
    caseName);

// ---- reading the auto-connect choice ---------------------------------------------------

struct AutoConnectCase { const char* name; std::optional<std::string> settings, autoConnectFile; bool expected; };

class AutoConnectPrefsTest : public ::testing::TestWithParam<AutoConnectCase> {};

// Only a JSON boolean counts, in the app's settings as in the engine tooling's file, which wins
// when it says something.
TEST_P(AutoConnectPrefsTest, TheEngineToolingsFileWinsWhenItSaysSomething) {
    const auto& c = GetParam();
    StoreHarness harness;
    writeSettings(c.settings);
    if (c.autoConnectFile) writeFile(VardexPaths::userConfigDirectory() / "auto-connect.json", *c.autoConnectFile);
    auto& store = harness.make();
    store.autoProtectNew = !c.expected;
    store.loadAutoConnectPrefs();
    EXPECT_EQ(store.autoProtectNew, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AutoConnectPrefsTest,
    ::testing::Values(AutoConnectCase{"nothingAnywhere", {}, {}, true},
                      AutoConnectCase{"settingOff", R"({"autoProtectNew":false})", {}, false},
                      AutoConnectCase{"toolingOnWinsOverSettingOff", R"({"autoProtectNew":false})", R"({"auto_protect_new":true})", true},
                      AutoConnectCase{"toolingTextIsIgnored", R"({"autoProtectNew":false})", R"({"auto_protect_new":"true"})", false},
                      AutoConnectCase{"toolingNotJSON", {}, "auto_protect_new: false", true}),
    caseName);

// ---- the waiting time and caution level --------------------------------------------------

struct SaveCase { const char* name; std::string waiting, caution; std::optional<std::string> error; std::uint64_t seconds = 0; double threshold = 0; };

class SaveSettingsTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveSettingsTest, ReadsBothFieldsOrNamesTheFirstThatIsWrong) {
    const auto& c = GetParam();
    StoreHarness harness;
    ScopedEnv path("PATH", (harness.home / "no-engine-here").string());
    harness.writeEngine("exit 0");
    auto& store = harness.make();
    store.askTimeoutText = c.waiting;
    store.askThresholdText = c.caution;

    store.saveSettings();

    EXPECT_EQ(store.policyError, c.error);
    EXPECT_EQ(store.userPolicy.askTimeoutSeconds, c.error ? std::nullopt : std::optional(c.seconds));
    EXPECT_EQ(store.userPolicy.askThreshold, c.error ? std::nullopt : std::optional(c.threshold));
}

constexpr const char* wholeSecondsError = "Waiting time must be a whole number of seconds.";
constexpr const char* numberError = "The caution level must be a number between 0 and 1.";
constexpr const char* rangeError = "The caution level must be between 0 and 1.";

// Plain numbers and a fraction of a second are typed on the settings page's own test.
INSTANTIATE_TEST_SUITE_P(
    Texts, SaveSettingsTest,
    ::testing::Values(
        SaveCase{"unicodeSpaces", "\xC2\xA0" "12\xE2\x80\x83", "0.25\xE3\x80\x80", {}, 12, 0.25},
        SaveCase{"plusSigns", "+7", "+0.5", {}, 7, 0.5},
        SaveCase{"underflowIsZero", "10", "1e-400", {}, 10, 0.0},
        SaveCase{"largestWaitingTime", "18446744073709551615", "0.7", {}, 18446744073709551615ull, 0.7},
        SaveCase{"waitingTimeOverflows", "18446744073709551616", "0.7", wholeSecondsError},
        SaveCase{"waitingTimeNegative", "-3", "0.7", wholeSecondsError},
        SaveCase{"waitingTimeOtherDigits", "\xD9\xA3", "0.7", wholeSecondsError},
        SaveCase{"cautionHex", "30", "0x1p-1", numberError},
        SaveCase{"cautionNotANumber", "30", "nan", rangeError},
        SaveCase{"cautionOverflows", "30", "1e400", rangeError}),
    caseName);

// ---- onboarding --------------------------------------------------------------------------

TEST(Onboarding, SkippingRecordsTheFirstLaunchAndOpensTheDashboardOnlyWhenAsked) {
    for (const bool opening : {false, true}) {
        StoreHarness harness;
        auto& store = harness.make();
        ASSERT_TRUE(store.showOnboarding);

        store.skipOnboarding(opening);

        EXPECT_FALSE(store.showOnboarding);
        EXPECT_EQ(readFile(VardexPaths::settingsURL()), R"({"firstLaunchCompleted":true})");
        EXPECT_EQ(harness.windows.opened, opening ? std::vector<std::string>{"dashboard"} : std::vector<std::string>{});
        EXPECT_FALSE(harness.make().showOnboarding) << "a later launch shows no onboarding";
    }
}

TEST(Onboarding, RunningItAgainStartsFromTheFirstStepWithNothingChosen) {
    StoreHarness harness;
    writeSettings(R"({"firstLaunchCompleted":true})");
    auto& store = harness.make();
    store.onboardingStep = 3;
    store.onboardingEnabled = {"claude", "codex"};

    store.rerunOnboarding();

    EXPECT_EQ(store.onboardingStep, 1);
    EXPECT_TRUE(store.onboardingEnabled.empty());
    EXPECT_TRUE(store.showOnboarding);
    EXPECT_EQ(harness.windows.opened, std::vector<std::string>{"dashboard"});
}

}  // namespace
}  // namespace vardex::testing
