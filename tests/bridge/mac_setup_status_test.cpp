#include "service/mac_setup_status.hpp"

#include <gtest/gtest.h>

#include "service/move_prompt.hpp"
#include "support/case_name.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

// The record is written whole; one that cannot be read or written leaves the probe in charge.
TEST(MacSetupStatusTest, SavedRecordIsLoadedBackOrTheProbeTakesOver) {
    testing::TempHome home;
    MacSetupStatus::save(MacSetupStatus{true, false, true});
    EXPECT_EQ(MacSetupStatus::load(), (MacSetupStatus{true, false, true}));
    for (const char* text : {R"({"systemExtension": true, "fullDiskAccess": true})",
                             R"({"systemExtension": true, "fullDiskAccess": true, "networkFilter": 1})",
                             "[true, true, true]", "{\"systemExtension\": tr"}) {
        testing::writeFile(MacSetupStatus::persistenceURL(), text);
        EXPECT_EQ(MacSetupStatus::load(), MacSetupStatus::probe()) << text;
    }
    const auto folder = MacSetupStatus::persistenceURL().parent_path();
    fs::remove_all(folder);
    testing::writeFile(folder, "a file where the folder should be");
    MacSetupStatus::save(MacSetupStatus{true, true, true});
    EXPECT_EQ(MacSetupStatus::load(), MacSetupStatus::probe());
}

struct MoveCase { const char *name, *path; bool needsMove; };

class MovePromptTest : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MovePromptTest, DecidesFromThePathAlone) {
    EXPECT_EQ(MovePrompt::needsMove(GetParam().path, "/Users/ann"), GetParam().needsMove);
}

INSTANTIATE_TEST_SUITE_P(Paths, MovePromptTest, ::testing::Values(
        MoveCase{"Applications", "/Applications/Vardex.app", false},
        MoveCase{"OwnApplications", "/Users/ann/Applications/Vardex.app", false},
        MoveCase{"TranslocatedAnywhere", "/private/var/folders/x/AppTranslocation/ab/d/Vardex.app", true},
        MoveCase{"ApplicationsWinsOverTranslocation", "/Applications/AppTranslocation/Vardex.app", false},
        MoveCase{"DiskImage", "/Volumes/Vardex/Vardex.app", true}, MoveCase{"Downloads", "/Users/ann/Downloads/Vardex.app", true},
        MoveCase{"HomePrefixIsNotEnough", "/Users/anna/Downloads/Vardex.app", false}), testing::caseName);

}  // namespace
}  // namespace vardex
