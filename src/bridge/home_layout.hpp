#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Where the app and the engine keep their files for one home, before any VARDEX_... switch.
// Both programs ask the same functions, so the app finds what the engine wrote.
namespace vardex {

struct HomeLayout {
    std::filesystem::path support;      // settings, pause record, daemon record, remembered answers
    std::filesystem::path logs;         // the app's event log and the daemon's output
    std::filesystem::path engineState;  // the activity log with its anchor and key, the stop flag
    std::filesystem::path userConfig;   // the policy and the records of connected agents
    std::filesystem::path socket;       // the daemon's socket
    // Claude Desktop's own configuration, where this platform's build of it keeps it.
    std::filesystem::path claudeDesktopConfig;
    // Where this platform keeps the keychains or keyrings that hold the user's passwords.
    std::filesystem::path keyrings;

    friend bool operator==(const HomeLayout&, const HomeLayout&) = default;
};

// What a layout is made from. An XDG variable that is unset, empty or not an absolute path
// counts as absent, as the base directory rules say.
struct LayoutEnvironment {
    std::filesystem::path home;
    std::optional<std::string> xdgStateHome;
    std::optional<std::string> xdgConfigHome;
    std::optional<std::string> xdgRuntimeDir;
};

// The macOS layout: the support and log folders of the user's Library.
HomeLayout libraryLayout(const LayoutEnvironment& environment);
// The freedesktop layout: state and logs under $XDG_STATE_HOME/talvenor, the policy under
// $XDG_CONFIG_HOME/talvenor/vardex, the socket under $XDG_RUNTIME_DIR/talvenor (or in the state
// folder when there is no runtime folder).
HomeLayout xdgLayout(const LayoutEnvironment& environment);

// The layout of the platform this program was built for; each platform's file says which.
HomeLayout platformLayout(const LayoutEnvironment& environment);
// Layouts that earlier builds used on this platform, whose files move into `platformLayout`
// the first time this build runs.
std::vector<HomeLayout> earlierLayouts(const LayoutEnvironment& environment);

}  // namespace vardex
