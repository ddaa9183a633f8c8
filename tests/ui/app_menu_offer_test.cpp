#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/fake_engine_store.hpp"
#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"
#include "ui/app_menu_offer.hpp"

namespace vardex::ui {
namespace {

using vardex::testing::caseName;
using vardex::testing::ScopedEnv;

struct OfferCase {
    const char* name;
    const char* program;  // relative to the test folder
    const char* prefix;   // relative to the test folder
    const char* captureDir;
    const char* skipPrompt;
    bool offeredBefore;
    bool answer;
    bool wantAsked;
    bool wantEntry;
};

class AppMenuOfferTest : public ::testing::TestWithParam<OfferCase> {};

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_P(AppMenuOfferTest, OffersOnceFromOutsideThePrefixAndWritesTheEntry) {
    const auto& c = GetParam();
    vardex::testing::TempFolder folder;
    const auto program = folder / c.program;
    vardex::testing::writeScript(program, "exit 0\n");
    std::filesystem::create_directories(folder / "usr/local/bin");
    ScopedEnv data("XDG_DATA_HOME", (folder / "data").string());
    ScopedEnv capture("VARDEX_CAPTURE_DIR", *c.captureDir ? std::optional<std::string>(c.captureDir) : std::nullopt);
    ScopedEnv skip("VARDEX_SKIP_MOVE_PROMPT", *c.skipPrompt ? std::optional<std::string>(c.skipPrompt) : std::nullopt);
    vardex::testing::MemoryPreferences preferences;
    if (c.offeredBefore) preferences.values[std::string(AppMenuOffer::offeredKey)] = true;
    int asked = 0;
    AppMenuOffer offer(preferences, program, folder / c.prefix, [&] {
        ++asked;
        return c.answer;
    });

    EXPECT_EQ(offer.offerIfNeeded(), c.wantEntry);
    EXPECT_EQ(asked, c.wantAsked ? 1 : 0);
    const auto entry = folder / "data/applications/com.talvenor.VardexBar.desktop";
    ASSERT_EQ(std::filesystem::exists(entry), c.wantEntry);
    EXPECT_EQ(std::filesystem::exists(folder / "data/icons/hicolor/scalable/apps/com.talvenor.VardexBar.svg"), c.wantEntry);
    if (c.wantEntry) {
        const auto text = contents(entry);
        EXPECT_NE(text.find("\nExec=\"" + std::filesystem::canonical(program).string() + "\"\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nIcon=com.talvenor.VardexBar\n"), std::string::npos);
    }
    if (c.wantAsked) {
        // Asked once ever: a second start does not ask again, whatever the answer was.
        EXPECT_FALSE(offer.offerIfNeeded());
        EXPECT_EQ(asked, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppMenuOfferTest,
    ::testing::Values(
        OfferCase{"fromABuildFolderAccepted", "src/build/vardex-bar", "usr/local", "", "", false, true, true, true},
        OfferCase{"fromABuildFolderDeclined", "src/build/vardex-bar", "usr/local", "", "", false, false, true, false},
        OfferCase{"insideThePrefix", "usr/local/bin/vardex-bar", "usr/local", "", "", false, true, false, false},
        OfferCase{"aSiblingWithThePrefixAsItsStart", "usr/local2/bin/vardex-bar", "usr/local", "", "", false, true, true, true},
        OfferCase{"offeredBefore", "src/build/vardex-bar", "usr/local", "", "", true, true, false, false},
        OfferCase{"capturingScreens", "src/build/vardex-bar", "usr/local", "/tmp/shots", "", false, true, false, false},
        OfferCase{"skippedWithOne", "src/build/vardex-bar", "usr/local", "", "1", false, true, false, false},
        OfferCase{"trueIsNotOne", "src/build/vardex-bar", "usr/local", "", "true", false, true, true, true}),
    caseName);

}  // namespace
}  // namespace vardex::ui
