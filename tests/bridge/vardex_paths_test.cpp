#include "bridge/vardex_paths.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <array>

#include "support/scoped_env.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

using testing::ScopedEnv;
namespace fs = std::filesystem;

std::string accountHome() { return getpwuid(getuid())->pw_dir; }

class PathsTest : public ::testing::Test {
protected:
    testing::TempHome root;
    ScopedEnv path{"PATH", ""};
};

TEST_F(PathsTest, LocationsFollowHome) {
    const std::string h = root.path().string();
    EXPECT_EQ(VardexPaths::supportDirectory(), h + "/Library/Application Support/Talvenor");
    EXPECT_EQ(VardexPaths::auditLogURL(), h + "/Library/Logs/Talvenor/vardex/audit.jsonl");
    EXPECT_EQ(VardexPaths::launchAgentPlistURL(), h + "/Library/LaunchAgents/com.talvenor.vardex.plist");
    EXPECT_EQ(VardexPaths::settingsURL(), h + "/Library/Application Support/Talvenor/menubar-settings.json");
    EXPECT_EQ(VardexPaths::pauseStateURL(), h + "/Library/Application Support/Talvenor/menubar-pause.json");
    EXPECT_EQ(VardexPaths::userPolicyURL(), h + "/.config/talvenor/vardex/policy.yaml");
    EXPECT_EQ(VardexPaths::socketPath(), h + "/Library/Application Support/Talvenor/vardex.sock");
    EXPECT_EQ(VardexPaths::mcpConfigCandidates().back(), h + "/.config/Claude/claude_desktop_config.json");
}

TEST_F(PathsTest, EmptyHomeFallsBackToTheAccountEverywhereButTheSocket) {
    ScopedEnv emptyHome("HOME", "");
    EXPECT_EQ(VardexPaths::homeDirectory(), accountHome());
    EXPECT_EQ(VardexPaths::userPolicyURL(), accountHome() + "/.config/talvenor/vardex/policy.yaml");
    // The socket follows HOME whenever the variable exists, even empty: that is where a daemon
    // started in the same environment puts it.
    EXPECT_EQ(VardexPaths::socketPath(), "/Library/Application Support/Talvenor/vardex.sock");
}

TEST_F(PathsTest, EmptyVariablesCountAsUnset) {
    ScopedEnv emptySock("VARDEX_SOCK", "");
    ScopedEnv emptyState("VARDEX_STATE_DIR", "");
    EXPECT_EQ(VardexPaths::env("VARDEX_SOCK"), std::nullopt);
    EXPECT_EQ(VardexPaths::socketPath(), root.path().string() + "/Library/Application Support/Talvenor/vardex.sock");
    EXPECT_EQ(VardexPaths::auditDirectory(), root / "Library/Logs/Talvenor/vardex");
}

TEST_F(PathsTest, StateDirectoryReplacesTheLogFolderForTheAuditLog) {
    ScopedEnv stateDir("VARDEX_STATE_DIR", "/srv/state/");
    EXPECT_EQ(VardexPaths::auditLogURL(), "/srv/state/audit.jsonl");
    EXPECT_EQ(VardexPaths::logsDirectory(), root / "Library/Logs/Talvenor");
}

TEST_F(PathsTest, EnsureDirectoryCreatesParentsAndAcceptsAnExistingFolder) {
    const auto nested = root / "a/b/c";
    ASSERT_TRUE(VardexPaths::ensureDirectory(nested).ok());
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_TRUE(VardexPaths::ensureDirectory(nested).ok());
}

TEST_F(PathsTest, EnsureDirectoryFailsWhereAFileStands) {
    testing::writeFile(root / "taken", "x");
    for (const auto& target : {root / "taken", root / "taken/below"}) {
        auto result = VardexPaths::ensureDirectory(target);
        ASSERT_FALSE(result.ok()) << target;
        EXPECT_EQ(result.error().path, target);
        EXPECT_NE(result.error().description().find(target.string()), std::string::npos);
    }
}

TEST_F(PathsTest, IsExecutableNeedsAnExecutableFile) {
    testing::writeScript(root / "tool", "exit 0");
    testing::writeFile(root / "plain", "x");
    fs::create_directory(root / "folder");
    fs::create_symlink(root / "tool", root / "link");
    EXPECT_TRUE(VardexPaths::isExecutable(root / "tool"));
    EXPECT_TRUE(VardexPaths::isExecutable(root / "link"));
    EXPECT_FALSE(VardexPaths::isExecutable(root / "plain"));
    EXPECT_FALSE(VardexPaths::isExecutable(root / "folder"));
    EXPECT_FALSE(VardexPaths::isExecutable(root / "missing"));
    EXPECT_FALSE(VardexPaths::isExecutable(""));
}

// One arrangement of engines on disk and the lookup's answer. Paths are relative to a fresh
// temporary folder; "@" in `searchPath` stands for that folder.
struct LookupCase {
    const char* name;
    std::vector<const char*> engines;  // executable files named "vardex" (or anything) to create
    const char* executable;            // the running app
    std::optional<const char*> vardexBin;
    const char* searchPath;
    std::optional<const char*> expected;
};

class EngineLookupTest : public PathsTest, public ::testing::WithParamInterface<LookupCase> {};

std::string expand(const std::string& text, const fs::path& root) {
    std::string out;
    for (char c : text) out += c == '@' ? root.string() : std::string(1, c);
    return out;
}

TEST_P(EngineLookupTest, FindsTheRightEngine) {
    const auto& c = GetParam();
    for (const char* engine : c.engines) testing::writeScript(root / engine, "exit 0");
    testing::writeFile(root / "notexec/vardex", "not a program");
    fs::create_directories(root / "dir/vardex");
    std::optional<ScopedEnv> configured;
    if (c.vardexBin) configured.emplace("VARDEX_BIN", expand(*c.vardexBin, root.path()));
    ScopedEnv searchPath("PATH", expand(c.searchPath, root.path()));

    const auto found = VardexPaths::vardexBinaryFor(root / c.executable);
    if (!c.expected) {
        EXPECT_EQ(found, std::nullopt);
    } else {
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->string(), expand(*c.expected, root.path()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lookup, EngineLookupTest,
    ::testing::Values(
        LookupCase{"BundledEngineBeatsSetting", {"V.app/Contents/MacOS/vardex", "other/vardex"},
                   "V.app/Contents/MacOS/vardex-bar", "@/other/vardex", "", "@/V.app/Contents/MacOS/vardex"},
        LookupCase{"BundleResources", {"V.app/Contents/Resources/vardex", "other/vardex"},
                   "V.app/Contents/MacOS/vardex-bar", "@/other/vardex", "", "@/V.app/Contents/Resources/vardex"},
        LookupCase{"BesideTheBundle", {"apps/vardex", "other/vardex"}, "apps/V.app/Contents/MacOS/vardex-bar",
                   "@/other/vardex", "", "@/apps/vardex"},
        LookupCase{"BundleExtensionIsCaseSensitive", {"V.APP/Contents/MacOS/vardex", "other/vardex"},
                   "V.APP/Contents/MacOS/vardex-bar", "@/other/vardex", "", "@/other/vardex"},
        LookupCase{"SettingBeatsPlainFolder", {"plain/vardex", "other/vardex"}, "plain/vardex-bar",
                   "@/other/vardex", "", "@/other/vardex"},
        LookupCase{"NonExecutableSettingIgnored", {"plain/vardex"}, "plain/vardex-bar", "@/notexec/vardex", "",
                   "@/plain/vardex"},
        LookupCase{"SettingNeedNotBeNamedVardex", {"tools/engine-dev"}, "plain/vardex-bar", "@/tools/engine-dev",
                   "", "@/tools/engine-dev"},
        LookupCase{"SearchPathInOrderSkippingNonPrograms", {"b/vardex", "c/vardex"}, "plain/vardex-bar",
                   std::nullopt, "@/notexec:@/dir:@/missing:@/b:@/c", "@/b/vardex"},
        LookupCase{"EmptyEntriesSkippedAndSlashKept", {"b/vardex"}, "plain/vardex-bar", std::nullopt,
                   ":@/a::@/b/:", "@/b//vardex"},
        LookupCase{"NothingAnywhere", {}, "plain/vardex-bar", "@/missing", ":@/a::", std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(PathsTest, EmptySearchEntryNeverMeansTheWorkingFolder) {
    testing::writeScript(root / "vardex", "exit 0");
    const auto previous = fs::current_path();
    fs::current_path(root.path());
    ScopedEnv searchPath("PATH", "::");
    const auto found = VardexPaths::vardexBinaryFor(std::nullopt);
    fs::current_path(previous);
    EXPECT_EQ(found, std::nullopt);
}

TEST_F(PathsTest, UnsetSearchPathUsesTheDefaultFolders) {
    ScopedEnv searchPath("PATH", std::nullopt);
    std::optional<fs::path> expected;
    for (const char* folder : {"/usr/local/bin", "/opt/homebrew/bin", "/usr/bin", "/bin"}) {
        if (VardexPaths::isExecutable(fs::path(folder) / "vardex")) {
            expected = fs::path(folder) / "vardex";
            break;
        }
    }
    EXPECT_EQ(VardexPaths::vardexBinaryFor(std::nullopt), expected);
    // The default list is what the empty PATH falls back to as well.
    ScopedEnv emptyPath("PATH", "");
    EXPECT_EQ(VardexPaths::vardexBinaryFor(std::nullopt), expected);
}

}  // namespace
}  // namespace vardex
