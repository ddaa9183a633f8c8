#include <gtest/gtest.h>

#include "service/launch_agent.hpp"
#include "service/launchctl_backend.hpp"
#include "service/start_at_login.hpp"
#include "service/systemd_backend.hpp"
#include "service_home.hpp"

namespace vardex {
namespace {

using testing::ScopedEnv;
namespace fs = std::filesystem;

std::string fixture(std::string_view name) { return *testing::readFile(fs::path(VARDEX_FIXTURES_DIR) / "service" / std::string(name)); }

// Texts made for a fixed account, so the golden files hold no temporary paths; each platform's
// layout has its own.
class ServiceTextTest : public ::testing::Test {
protected:
    ScopedEnv home{"HOME", "/home/ada"};
    ScopedEnv socket{"VARDEX_SOCK", std::nullopt};
    ScopedEnv state{"XDG_STATE_HOME", std::nullopt};
    ScopedEnv config{"XDG_CONFIG_HOME", std::nullopt};
    ScopedEnv runtime{"XDG_RUNTIME_DIR", std::nullopt};
};

TEST_F(ServiceTextTest, PropertyListMatchesGoldenFileAndCarriesTheLoginChoice) {
    EXPECT_EQ(launchAgentPlist("/opt/vardex/bin/vardex", true, {}), fixture("launch_agent_" VARDEX_PLATFORM ".plist"));
    const auto off = launchAgentPlist("/opt/vardex/bin/vardex", false, {});
    EXPECT_NE(off.find("<key>RunAtLoad</key>\n    <false/>\n    <key>KeepAlive</key>\n    <true/>"), std::string::npos);
}

TEST_F(ServiceTextTest, PropertyListEscapesInsertedValuesOnce) {
    ScopedEnv markedSocket("VARDEX_SOCK", "/tmp/\"it's\">.sock");
    const auto text = launchAgentPlist("/opt/R&D/<new>/vardex", true, {"/Apps/R&lt;D/<bar>", true});
    EXPECT_NE(text.find("        <string>/opt/R&amp;D/&lt;new&gt;/vardex</string>\n"), std::string::npos);
    EXPECT_NE(text.find("        <string>/tmp/&quot;it's&quot;&gt;.sock</string>\n"), std::string::npos);
    EXPECT_NE(text.find("        <string>--foreground</string>\n        <string>--app-executable</string>\n"
                        "        <string>/Apps/R&amp;lt;D/&lt;bar&gt;</string>\n        <string>--test-approvers</string>\n"),
              std::string::npos);
    EXPECT_FALSE(text.ends_with("\n"));
}

TEST_F(ServiceTextTest, SystemdUnitMatchesGoldenFileAndQuotesWhatSystemdWouldReadAsSyntax) {
    EXPECT_EQ(systemdUnit("/opt/vardex/bin/vardex", {}), fixture("vardex_" VARDEX_PLATFORM ".service"));
    const auto text = systemdUnit("/opt/my \"app\"/100%/$HOME\\vardex", {"/opt/the bar/50%/$x", false});
    EXPECT_NE(text.find("ExecStart=\"/opt/my \\\"app\\\"/100%%/$$HOME\\\\vardex\" daemon --foreground "
                        "--app-executable \"/opt/the bar/50%%/$$x\"\n"),
              std::string::npos);
}

struct PrintCase { const char *name, *output, *program; };

class LoadedProgramTest : public ::testing::TestWithParam<PrintCase> {};

TEST_P(LoadedProgramTest, ReadsTheFirstProgramLine) { EXPECT_EQ(loadedProgram(GetParam().output), GetParam().program); }

INSTANTIATE_TEST_SUITE_P(Print, LoadedProgramTest, ::testing::Values(
        PrintCase{"tabsAndSpaces", "x = {\n\tactive count = 1\n\tprogram = /opt/v x/vardex \t\n}\n", "/opt/v x/vardex"},
        PrintCase{"firstOfTwo", "\n\n  program = /a\n  program = /b\n", "/a"}, PrintCase{"emptyValue", "program =\n", ""},
        PrintCase{"none", "state = running\n", ""}), testing::caseName);

TEST(StoreStartAtLogin, KeepsOtherKeysAndStartsAfreshFromJunk) {
    testing::TempFolder folder;
    const auto settings = folder / "support/menubar-settings.json";
    for (const auto& [before, after] : {std::pair{"", R"({"startAtLogin":true})"},
                                        {R"({"pauseMinutes":15,"startAtLogin":false,"theme":{"dark":true}})",
                                         R"({"pauseMinutes":15,"startAtLogin":true,"theme":{"dark":true}})"},
                                        {"[1,2", R"({"startAtLogin":true})"}}) {
        if (*before != '\0') testing::writeFile(settings, before);
        storeStartAtLogin(settings, true);
        EXPECT_EQ(testing::readFile(settings), after);
    }
}

}  // namespace
}  // namespace vardex
