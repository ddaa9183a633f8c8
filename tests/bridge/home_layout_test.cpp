#include "bridge/home_layout.hpp"

#include <gtest/gtest.h>

#include "support/case_name.hpp"

namespace vardex {
namespace {

// One environment and where each kind of file goes for it. Null variables are unset; "~" is
// the home folder. The socket is checked as the full path.
struct LayoutCase {
    const char* name;
    HomeLayout (*layout)(const LayoutEnvironment&);
    const char *stateHome, *configHome, *runtimeDir;
    const char *support, *logs, *engineState, *userConfig, *socket, *claudeDesktop, *keyrings;
};

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, PutsEachKindOfFileInItsPlace) {
    const auto& c = GetParam();
    const auto given = [](const char* value) { return value ? std::optional<std::string>(value) : std::nullopt; };
    const auto layout = c.layout({"/home/ada", given(c.stateHome), given(c.configHome), given(c.runtimeDir)});
    const auto expand = [](std::string text) { return text.starts_with("~") ? "/home/ada" + text.substr(1) : text; };
    EXPECT_EQ(layout, (HomeLayout{expand(c.support), expand(c.logs), expand(c.engineState), expand(c.userConfig),
                                  expand(c.socket), expand(c.claudeDesktop), expand(c.keyrings)}));
}

INSTANTIATE_TEST_SUITE_P(Table, Layout, ::testing::Values(
        LayoutCase{"XdgDefaults", xdgLayout, nullptr, nullptr, nullptr, "~/.local/state/talvenor", "~/.local/state/talvenor/logs",
                   "~/.local/state/talvenor/vardex", "~/.config/talvenor/vardex", "~/.local/state/talvenor/vardex.sock",
                   "~/.config/Claude/claude_desktop_config.json", "~/.local/share/keyrings"},
        LayoutCase{"XdgVariablesHonoured", xdgLayout, "/s", "/c", "/run/user/7", "/s/talvenor", "/s/talvenor/logs",
                   "/s/talvenor/vardex", "/c/talvenor/vardex", "/run/user/7/talvenor/vardex.sock",
                   "/c/Claude/claude_desktop_config.json", "~/.local/share/keyrings"},
        // The base directory rules say a relative or empty value is to be ignored.
        LayoutCase{"RelativeOrEmptyVariablesIgnored", xdgLayout, "state", "", "run", "~/.local/state/talvenor",
                   "~/.local/state/talvenor/logs", "~/.local/state/talvenor/vardex", "~/.config/talvenor/vardex",
                   "~/.local/state/talvenor/vardex.sock", "~/.config/Claude/claude_desktop_config.json", "~/.local/share/keyrings"},
        LayoutCase{"LibraryIgnoresXdg", libraryLayout, "/s", "/c", "/run/user/7", "~/Library/Application Support/Talvenor",
                   "~/Library/Logs/Talvenor", "~/Library/Logs/Talvenor/vardex", "~/.config/talvenor/vardex",
                   "~/Library/Application Support/Talvenor/vardex.sock",
                   "~/Library/Application Support/Claude/claude_desktop_config.json", "/Library/Keychains"}), testing::caseName);

}  // namespace
}  // namespace vardex
