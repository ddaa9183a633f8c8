// The shell's pure parts and ports: where the popover goes, and preferences that read back as
// they were written from a real settings file.
#include <chrono>

#include <ostream>

#include <gtest/gtest.h>

#include "support/fake_engine_store.hpp"
#include "support/temp_home.hpp"
#include "ui/ports/settings_preferences.hpp"
#include "ui/tray/popover_placement.hpp"

namespace vardex::ui {
namespace {

struct PlacementCase {
    const char* name;
    QRect icon;
    QPoint want;
    friend void PrintTo(const PlacementCase& c, std::ostream* out) { *out << c.name; }
};

const QRect screen(0, 24, 1280, 776);  // a top panel of 24 px
const QSize popover(380, 500);

class PopoverPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopoverPlacement, StaysNextToTheIconAndOnTheScreen) {
    const auto& c = GetParam();
    const QPoint at = popoverPosition(c.icon, popover, screen);
    EXPECT_EQ(at, c.want);
    EXPECT_TRUE(screen.contains(QRect(at, popover))) << "the whole popover is on screen";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopoverPlacement,
    ::testing::Values(PlacementCase{"underAnIconInTheTopPanel", QRect(600, 0, 24, 24), QPoint(421, 24 + popoverGap)},
                      PlacementCase{"pulledInFromTheRightEdge", QRect(1256, 0, 24, 24), QPoint(900, 24 + popoverGap)},
                      PlacementCase{"pulledInFromTheLeftEdge", QRect(0, 0, 24, 24), QPoint(0, 24 + popoverGap)},
                      PlacementCase{"overAnIconInABottomPanel", QRect(1200, 776, 24, 24), QPoint(900, 776 - popoverGap - 500)},
                      PlacementCase{"centredWhenTheIconsPlaceIsUnknown", QRect(), QPoint(449, 161)},
                      PlacementCase{"keptBelowTheTopPanelWhenTheIconSitsLow", QRect(600, 20, 24, 24), QPoint(421, 44 + popoverGap)}),
    vardex::testing::caseName);

struct PreferenceCase {
    const char* name;
    PreferenceValue value;
    friend void PrintTo(const PreferenceCase& c, std::ostream* out) { *out << c.name; }
};

class PreferencesReadBack : public ::testing::TestWithParam<PreferenceCase> {};

TEST_P(PreferencesReadBack, AValueReadsBackAsWrittenAfterARestart) {
    const auto& c = GetParam();
    vardex::testing::TempHome home;
    const QString file = QString::fromStdString((home / "prefs" / "vardex-bar.conf").string());
    SettingsPreferences({file}).setValue("key", c.value);
    const auto back = SettingsPreferences({file}).value("key");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, c.value);
}

const TimePoint someMoment{std::chrono::seconds(1'764'000'123)};

INSTANTIATE_TEST_SUITE_P(
    Cases, PreferencesReadBack,
    ::testing::Values(PreferenceCase{"flagFalseStaysABool", false}, PreferenceCase{"largeInteger", std::int64_t{-9'000'000'000}},
                      PreferenceCase{"fraction", 0.7}, PreferenceCase{"textThatLooksLikeANumber", std::string("42")},
                      PreferenceCase{"textWithColonsAndUnicode", std::string("list:[\"x\"] · ☂")},
                      PreferenceCase{"oneItemList", std::vector<std::string>{"ab12"}},
                      PreferenceCase{"emptyList", std::vector<std::string>{}},
                      PreferenceCase{"listWithCommas", std::vector<std::string>{"a,b", "", "c"}},
                      PreferenceCase{"moment", someMoment}),
    vardex::testing::caseName);

TEST(PreferencesReadBack, ForeignOrDamagedValuesReadAsAbsent) {
    for (const auto* text : {"", "true", "bool:yes", "int:12x", "list:{}", "list:[1]", "colour:red"}) {
        EXPECT_FALSE(decodePreference(QString::fromUtf8(text)).has_value()) << text;
    }
}

}  // namespace
}  // namespace vardex::ui
