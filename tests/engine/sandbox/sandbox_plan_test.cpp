#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/row_name.hpp"
#include "sandbox/sandbox_plan.hpp"
#include "sandbox/sandbox_settings.hpp"
#include "sandbox/sandbox_surroundings.hpp"
#include "support/temp_folder.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

// The mount words between the fixed start (which ends with the fresh /proc) and `--chdir`.
Words mountWords(const Words& arguments) {
    const auto start = std::find(arguments.begin(), arguments.end(), "/proc");
    const auto end = std::find(arguments.begin(), arguments.end(), "--chdir");
    return {start + 1, end};
}

struct ArgumentCase {
    const char* name;
    std::vector<SandboxMount> mounts;
    Words expected;
};

class BwrapArguments : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(BwrapArguments, LayDeeperPlacesOverTheirParents) {
    const SandboxPlan plan{GetParam().mounts, "/w", true};
    EXPECT_EQ(mountWords(bwrapArguments(plan, {"true"})), GetParam().expected);
}

constexpr auto writable = SandboxAccess::writable;
constexpr auto readOnly = SandboxAccess::readOnly;
constexpr auto hidden = SandboxAccess::hidden;
constexpr auto passedIn = SandboxAccess::passedIn;

INSTANTIATE_TEST_SUITE_P(Table, BwrapArguments, ::testing::Values(
    ArgumentCase{"nothing", {}, {}},
    ArgumentCase{"hidden_file_is_dev_null", {{"/h/.npmrc", hidden, false}}, {"--ro-bind", "/dev/null", "/h/.npmrc"}},
    ArgumentCase{"hidden_folder_is_tmpfs", {{"/h/.ssh", hidden, true}}, {"--tmpfs", "/h/.ssh"}},
    ArgumentCase{"child_after_parent_whatever_the_order",
                 {{"/t/h/p/.git/hooks", readOnly, true}, {"/t/h/p", writable, true}, {"/t/h", readOnly, true}, {"/t", writable, true}},
                 {"--bind", "/t", "/t", "--ro-bind", "/t/h", "/t/h", "--bind", "/t/h/p", "/t/h/p", "--ro-bind", "/t/h/p/.git/hooks", "/t/h/p/.git/hooks"}},
    ArgumentCase{"place_like_its_surroundings_is_not_mounted",
                 {{"/h/.bashrc", readOnly, false}, {"/h/.cache/pip", writable, true}, {"/h/.cache", writable, true},
                  {"/h/.ssh/keys", hidden, true}, {"/h/.ssh", hidden, true}, {"/h/.sibling", readOnly, true}},
                 {"--bind", "/h/.cache", "/h/.cache", "--tmpfs", "/h/.ssh"}},
    ArgumentCase{"sibling_is_not_surroundings",
                 {{"/h/ab", writable, true}, {"/h/a/x", readOnly, true}, {"/h/a", writable, true}},
                 {"--bind", "/h/a", "/h/a", "--bind", "/h/ab", "/h/ab", "--ro-bind", "/h/a/x", "/h/a/x"}},
    ArgumentCase{"readable_file_inside_a_mask",
                 {{"/h/.ssh/known_hosts", readOnly, false}, {"/h/.ssh", hidden, true}},
                 {"--tmpfs", "/h/.ssh", "--ro-bind", "/h/.ssh/known_hosts", "/h/.ssh/known_hosts"}},
    ArgumentCase{"stricter_word_wins_for_one_place",
                 {{"/h/.cache", writable, true}, {"/h/.cache/", hidden, true}, {"/h/.cache", readOnly, true}},
                 {"--tmpfs", "/h/.cache"}},
    ArgumentCase{"socket_passed_into_a_hidden_folder",
                 {{"/run/user/1/ssh.sock", passedIn, false}, {"/run/user/1", hidden, true}},
                 {"--tmpfs", "/run/user/1", "--bind", "/run/user/1/ssh.sock", "/run/user/1/ssh.sock"}}),
    testing::byName);

TEST(BwrapArguments, NetworkSwitchAndProgramWordsPassThrough) {
    const SandboxPlan offline{{}, "/w d", false};
    const Words command{"bash", "-c", "echo '$HOME'\n"};
    const auto arguments = bwrapArguments(offline, command);
    EXPECT_NE(std::find(arguments.begin(), arguments.end(), "--unshare-net"), arguments.end());
    const Words tail{"--chdir", "/w d", "--", "bash", "-c", "echo '$HOME'\n"};
    EXPECT_TRUE(std::equal(tail.rbegin(), tail.rend(), arguments.rbegin()));
    for (const auto* always : {"--unshare-pid", "--die-with-parent", "--new-session", "--unshare-user"}) {
        EXPECT_NE(std::find(arguments.begin(), arguments.end(), always), arguments.end()) << always;
    }
    const SandboxPlan online{{}, "/w", true};
    const auto withNetwork = bwrapArguments(online, command);
    EXPECT_EQ(std::find(withNetwork.begin(), withNetwork.end(), "--unshare-net"), withNetwork.end());
}

// A home laid out on disk, planned once; each row asks how one place looks from inside. What the
// real sandbox tests already try from inside (keys, caches, start-up files, git hooks) is not here.
class PlannedHome : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempFolder;
        const auto home = folder_->path() / "home";
        for (const auto* file : {".ssh/id_ed25519", ".ssh/known_hosts", ".aws/credentials", ".npmrc",
                                 ".bashrc", ".local/bin/tool", "bin/mine", "proj/.git/config", "proj/.git/hooks/x",
                                 "proj/src/main.c", ".cache/pip/x", ".cargo/registry/x", "state/log",
                                 ".claude/settings.json", "private/notes", "run/talvenor/vardex.sock", "extra/x",
                                 "private/mcp/package.json", "private/mcp/dist/index.js", ".ssh/tools/peek.py"}) {
            testing::writeFile(home / file, "x");
        }
        SandboxSurroundings s;
        s.home = home;
        s.workingFolder = home / "proj/src";
        s.searchPath = (home / "bin").string() + ":/usr/bin:" + (home / ".local/bin").string();
        s.sshAgentSocket = home / "run/agent.sock";
        testing::writeFile(*s.sshAgentSocket, "");
        s.runtimeFolder = home / "run";
        s.daemonSocket = home / "run/talvenor/vardex.sock";
        s.engineFolders = {home / "state", home / "no-such-folder"};
        s.agentSettings = {home / ".claude/settings.json", home / ".gemini/settings.json"};
        s.protectedPlaces = {"~/private"};
        s.settings.writable = {"~/extra"};
        s.programFiles = {home / "private/mcp/dist/index.js", home / ".ssh/tools/peek.py"};
        plan_ = new SandboxPlan(planSandbox(s));
    }
    static void TearDownTestSuite() {
        delete plan_;
        delete folder_;
    }

    static std::optional<SandboxAccess> accessOf(const std::string& below) {
        const auto path = fs::weakly_canonical(below.starts_with("/") ? fs::path(below) : folder_->path() / "home" / below);
        std::optional<SandboxAccess> strictest;
        for (const auto& mount : plan_->mounts) {
            if (mount.path == path) strictest = std::max(strictest.value_or(mount.access), mount.access);
        }
        return strictest;
    }

    static testing::TempFolder* folder_;
    static SandboxPlan* plan_;
};

testing::TempFolder* PlannedHome::folder_ = nullptr;
SandboxPlan* PlannedHome::plan_ = nullptr;

struct PlaceCase {
    const char* name;
    const char* place;  // below the home, or absolute
    std::optional<SandboxAccess> access;  // nothing: the host's read-only view
};

class PlannedPlaces : public PlannedHome, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(PlannedPlaces, LookAsIntended) { EXPECT_EQ(accessOf(GetParam().place), GetParam().access); }

INSTANTIATE_TEST_SUITE_P(Table, PlannedPlaces, ::testing::Values(
    PlaceCase{"home_read_only", "", readOnly},
    PlaceCase{"project_is_git_top_level", "proj", writable},
    PlaceCase{"git_config_read_only", "proj/.git/config", readOnly},
    PlaceCase{"cargo_registry_writable", ".cargo/registry", writable},
    PlaceCase{"user_listed_place_writable", "extra", writable},
    PlaceCase{"missing_cache_left_alone", ".npm", std::nullopt},
    PlaceCase{"missing_secret_left_alone", ".gnupg", std::nullopt},
    PlaceCase{"local_bin_read_only", ".local/bin", readOnly},
    PlaceCase{"path_folder_under_home_read_only", "bin", readOnly},
    PlaceCase{"engine_state_read_only", "state", readOnly},
    PlaceCase{"agent_hook_file_read_only", ".claude/settings.json", readOnly},
    PlaceCase{"runtime_folder_hidden", "run", hidden},
    PlaceCase{"daemon_socket_folder_hidden", "run/talvenor", hidden},
    PlaceCase{"ssh_agent_passed_in", "run/agent.sock", passedIn},
    PlaceCase{"program_package_readable_in_protected_folder", "private/mcp", readOnly},
    PlaceCase{"program_in_secret_folder_stays_masked", ".ssh/tools", std::nullopt}),
    testing::byName);

struct ProjectCase {
    const char* name;
    const char* gitAt;    // below the temporary folder; empty for none
    const char* working;  // below the temporary folder
    const char* project;  // the writable project below it; empty when nothing is
};

class ProjectChoice : public ::testing::TestWithParam<ProjectCase> {};

TEST_P(ProjectChoice, NeverTheHomeOrAbove) {
    testing::TempFolder folder;
    const auto home = folder / "home";
    fs::create_directories(folder / GetParam().working);
    if (*GetParam().gitAt != '\0') fs::create_directories(folder / GetParam().gitAt / ".git");
    SandboxSurroundings s;
    s.home = home;
    s.workingFolder = folder / GetParam().working;
    const auto plan = planSandbox(s);
    std::vector<fs::path> writablePlaces;
    for (const auto& mount : plan.mounts) {
        if (mount.access == writable && mount.path != fs::path("/tmp")) writablePlaces.push_back(mount.path);
    }
    if (*GetParam().project == '\0') {
        EXPECT_TRUE(writablePlaces.empty());
    } else {
        EXPECT_EQ(writablePlaces, std::vector<fs::path>{fs::weakly_canonical(folder / GetParam().project)});
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ProjectChoice, ::testing::Values(
    ProjectCase{"git_top_level", "home/p", "home/p/a/b", "home/p"},
    ProjectCase{"no_git_working_folder", "", "home/p/a", "home/p/a"},
    ProjectCase{"home_itself", "", "home", ""},
    ProjectCase{"dotfiles_repository_in_home", "home", "home/p", "home/p"},
    ProjectCase{"dotfiles_repository_at_home", "home", "home", ""},
    ProjectCase{"above_home", "", ".", ""}),
    testing::byName);

struct SettingsCase {
    const char* name;
    const char* json;
    SandboxSettings expected;
};

class SettingsText : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsText, DamageKeepsTheDefaults) {
    EXPECT_EQ(sandboxSettingsFrom(nlohmann::json::parse(GetParam().json, nullptr, false)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, SettingsText, ::testing::Values(
    SettingsCase{"not_json", "{", {}},
    SettingsCase{"not_an_object", "[true]", {}},
    SettingsCase{"wrong_types", R"({"network":"off","required":1,"writable":"~/x"})", {}},
    SettingsCase{"all_set", R"({"network":false,"ssh_agent":false,"required":true,"writable":["~/x",3]})",
                 SandboxSettings{false, false, true, {"~/x"}}}),
    testing::byName);

}  // namespace
}  // namespace vardex::engine
