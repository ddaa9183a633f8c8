#include "service/mac_setup_status.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "service/move_prompt.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

TEST(MacSetupStatusTest, ProbeOnThisSystemFindsNoPrivacyDatabase) {
    if (fs::exists("/Library/Application Support/com.apple.TCC/TCC.db")) GTEST_SKIP();
    EXPECT_EQ(MacSetupStatus::probe(), (MacSetupStatus{false, false, false}));
}

TEST(MacSetupStatusTest, CompleteEvenWithEverythingOff) {
    const MacSetupStatus off{false, false, false};
    EXPECT_TRUE(off.allOn());
    EXPECT_FALSE(off.partlyProtected());
}

TEST(MacSetupStatusTest, SavedRecordIsLoadedBack) {
    testing::TempHome home;
    EXPECT_EQ(MacSetupStatus::persistenceURL(), home / "Library/Application Support/Talvenor/mac-setup.json");
    const MacSetupStatus saved{true, false, true};
    MacSetupStatus::save(saved);
    EXPECT_EQ(MacSetupStatus::load(), saved);
    std::ifstream in(MacSetupStatus::persistenceURL());
    EXPECT_EQ(nlohmann::json::parse(in), nlohmann::json::parse(
                                             R"({"systemExtension": true, "fullDiskAccess": false, "networkFilter": true})"));
}

TEST(MacSetupStatusTest, UnreadableRecordsFallBackToTheProbe) {
    testing::TempHome home;
    for (const char* text : {R"({"systemExtension": true, "fullDiskAccess": true})",
                             R"({"systemExtension": true, "fullDiskAccess": true, "networkFilter": 1})",
                             "[true, true, true]", "{\"systemExtension\": tr"}) {
        testing::writeFile(MacSetupStatus::persistenceURL(), text);
        EXPECT_EQ(MacSetupStatus::load(), MacSetupStatus::probe()) << text;
    }
}

TEST(MacSetupStatusTest, SaveIntoAnImpossibleFolderIsIgnored) {
    testing::TempHome home;
    testing::writeFile(home / "Library", "a file where the folder should be");
    MacSetupStatus::save(MacSetupStatus{true, true, true});
    EXPECT_EQ(MacSetupStatus::load(), MacSetupStatus::probe());
}

TEST(MacSetupStepTest, StepsInOrderWithTheirTexts) {
    const auto steps = allCases<MacSetupStep>();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(wireText(steps[0]), "systemExtension");
    EXPECT_EQ(title(MacSetupStep::systemExtension), "Allow the Vardex system extension");
    EXPECT_EQ(why(MacSetupStep::fullDiskAccess), "Needed so Vardex can see the files AI apps try to use.");
    EXPECT_EQ(title(MacSetupStep::networkFilter), "Network filter is not on");
    EXPECT_EQ(why(MacSetupStep::networkFilter), "Website filtering is not turned on in this version.");
    EXPECT_EQ(deepLink(MacSetupStep::fullDiskAccess),
              "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    EXPECT_EQ(deepLink(MacSetupStep::systemExtension), MacSetupStatus::networkFilterLink);
    const MacSetupStatus onlyDisk{false, true, false};
    EXPECT_FALSE(isOn(MacSetupStep::systemExtension, onlyDisk));
    EXPECT_TRUE(isOn(MacSetupStep::fullDiskAccess, onlyDisk));
    EXPECT_TRUE(availableMacSetupSteps.empty());
}

struct MoveCase {
    const char* name;
    const char* path;
    bool needsMove;
};

class MovePromptTest : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MovePromptTest, DecidesFromThePathAlone) {
    EXPECT_EQ(MovePrompt::needsMove(GetParam().path, "/Users/ann"), GetParam().needsMove);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MovePromptTest,
    ::testing::Values(MoveCase{"Applications", "/Applications/Vardex.app", false},
                      MoveCase{"OwnApplications", "/Users/ann/Applications/Vardex.app", false},
                      MoveCase{"TranslocatedAnywhere", "/private/var/folders/x/AppTranslocation/ab/d/Vardex.app", true},
                      MoveCase{"ApplicationsWinsOverTranslocation", "/Applications/AppTranslocation/Vardex.app", false},
                      MoveCase{"DiskImage", "/Volumes/Vardex/Vardex.app", true},
                      MoveCase{"Downloads", "/Users/ann/Downloads/Vardex.app", true},
                      MoveCase{"Desktop", "/Users/ann/Desktop/tools/Vardex.app", true},
                      MoveCase{"Documents", "/Users/ann/Documents/Vardex.app", false},
                      MoveCase{"AnotherUsersDownloads", "/Users/bob/Downloads/Vardex.app", false},
                      MoveCase{"CaseMatters", "/volumes/Vardex/Vardex.app", false},
                      MoveCase{"ApplicationsWithoutSlash", "/ApplicationsOld/Vardex.app", false},
                      MoveCase{"HomePrefixIsNotEnough", "/Users/anna/Downloads/Vardex.app", false},
                      MoveCase{"DownloadsFolderItself", "/Users/ann/Downloads", false}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vardex
