#include "bridge/vardex_paths.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "support/case_name.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

using testing::ScopedEnv;
namespace fs = std::filesystem;

class PathsTest : public ::testing::Test {
protected:
    testing::TempHome root;
    ScopedEnv path{"PATH", ""};
};

TEST_F(PathsTest, LocationsFollowHomeAndEmptyVariablesCountAsUnset) {
    const std::string h = root.path().string();
    ScopedEnv emptySock("VARDEX_SOCK", "");
    ScopedEnv emptyState("VARDEX_STATE_DIR", "");
    EXPECT_EQ(VardexPaths::auditLogURL(), VardexPaths::homeLayout().engineState / "audit.jsonl");
    EXPECT_EQ(VardexPaths::userPolicyURL(), h + "/.config/talvenor/vardex/policy.yaml");
    EXPECT_EQ(VardexPaths::socketPath(), VardexPaths::homeLayout().socket.string());
    EXPECT_EQ(VardexPaths::logsDirectory().string().rfind(h, 0), 0u);

    ScopedEnv stateDir("VARDEX_STATE_DIR", "/srv/state/");
    EXPECT_EQ(VardexPaths::auditLogURL(), "/srv/state/audit.jsonl");

    // An empty HOME falls back to the account everywhere.
    ScopedEnv emptyHome("HOME", "");
    EXPECT_EQ(VardexPaths::userPolicyURL(), std::string(getpwuid(getuid())->pw_dir) + "/.config/talvenor/vardex/policy.yaml");
    EXPECT_EQ(VardexPaths::supportDirectory().string().rfind(getpwuid(getuid())->pw_dir, 0), 0u);
}

// Every writer in the layers above creates its folders through this; only the failure's wording is checked here.
TEST_F(PathsTest, EnsureDirectoryNamesThePathItCouldNotCreate) {
    testing::writeFile(root / "taken", "x");
    const auto result = VardexPaths::ensureDirectory(root / "taken/below");
    ASSERT_FALSE(result.ok());
    EXPECT_NE(result.error().description().find((root / "taken/below").string()), std::string::npos);
}

// One arrangement of engines on disk and the look-up's answer. Paths are relative to a fresh
// temporary folder; "@" stands for that folder. Beside the engines there are always a plain
// file "n/vardex" and a folder "d/vardex", neither of them a program.
// `app` is the running app; a null vardexBin is unset; an empty `expected` finds none.
struct LookupCase {
    const char* name;
    std::vector<const char*> engines;
    const char *app, *vardexBin, *searchPath, *expected;
};

class EngineLookupTest : public PathsTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(EngineLookupTest, FindsTheRightEngine) {
    const auto& c = GetParam();
    const auto expand = [&](std::string text) {
        for (auto at = text.find('@'); at != std::string::npos; at = text.find('@')) text.replace(at, 1, root.path().string());
        return text;
    };
    for (const char* engine : c.engines) testing::writeScript(root / engine, "exit 0");
    testing::writeFile(root / "n/vardex", "not a program");
    fs::create_directories(root / "d/vardex");
    fs::create_symlink(root / "b/vardex", root / "link");
    std::optional<ScopedEnv> configured;
    if (c.vardexBin) configured.emplace("VARDEX_BIN", expand(c.vardexBin));
    ScopedEnv searchPath("PATH", expand(c.searchPath));
    // Run from inside the folder, so an empty search entry taken as the working folder would find "vardex" there.
    const auto previous = fs::current_path();
    fs::current_path(root.path());
    const auto found = VardexPaths::vardexBinaryFor(root / c.app);
    fs::current_path(previous);
    EXPECT_EQ(found ? found->string() : "", expand(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Lookup, EngineLookupTest, ::testing::Values(
        LookupCase{"BundledEngineBeatsSetting", {"A.app/Contents/MacOS/vardex", "o/vardex"}, "A.app/Contents/MacOS/bar",
                   "@/o/vardex", "", "@/A.app/Contents/MacOS/vardex"},
        LookupCase{"BesideTheBundle", {"p/vardex", "o/vardex"}, "p/A.app/Contents/MacOS/bar", "@/o/vardex", "", "@/p/vardex"},
        LookupCase{"SettingBeatsPlainFolder", {"p/vardex", "o/vardex"}, "p/bar", "@/o/vardex", "", "@/o/vardex"},
        LookupCase{"NonExecutableSettingIgnored", {"p/vardex"}, "p/bar", "@/n/vardex", "", "@/p/vardex"},
        LookupCase{"LinkToAProgramOfAnyName", {"b/vardex"}, "p/bar", "@/link", "", "@/link"},
        LookupCase{"SearchPathInOrderSkippingNonPrograms", {"b/vardex", "c/vardex"}, "p/bar", nullptr,
                   "@/n:@/d:@/missing:@/b:@/c", "@/b/vardex"},
        LookupCase{"NothingAnywhere", {}, "p/bar", "@/missing", ":@/a::", ""},
        LookupCase{"EmptyEntryIsNotTheWorkingFolder", {"vardex"}, "p/bar", nullptr, "::", ""}), testing::caseName);

// An installed build takes the switches only in a home that is not the account's own, the way
// tests and scripts run; a home reached through a link or written with a trailing slash is still
// the account's.
struct SwitchCase {
    const char* name;
    bool installed;
    const char* home;  // "@" is the account's home folder
    bool honoured;
};

class Switches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(Switches, AreIgnoredByAnInstalledBuildInTheAccountsHome) {
    testing::TempFolder folder;
    const auto account = folder / "ana";
    fs::create_directories(account);
    fs::create_directory_symlink(account, folder / "link");
    std::string home = GetParam().home;
    if (home.starts_with("@")) home = account.string() + home.substr(1);
    if (home.starts_with("~")) home = (folder / "link").string() + home.substr(1);
    EXPECT_EQ(VardexPaths::switchesHonoured(GetParam().installed, home, account), GetParam().honoured);
}

INSTANTIATE_TEST_SUITE_P(Table, Switches, ::testing::Values(
        SwitchCase{"DevelopmentBuild", false, "@", true},
        SwitchCase{"InstalledInTheAccountsHome", true, "@", false},
        SwitchCase{"InstalledWithATrailingSlash", true, "@/", false},
        SwitchCase{"InstalledThroughALink", true, "~", false},
        SwitchCase{"InstalledInATestHome", true, "/tmp/vdx-test-home", true}), testing::caseName);

}  // namespace
}  // namespace vardex
