#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bridge/home_layout.hpp"
#include "common/result.hpp"

// Where everything lives on disk, and the environment look-up every `VARDEX_...` switch goes
// through. Nothing is cached: each call reads the environment and the file system afresh, so a
// changed HOME or a newly installed engine counts from the next call on.
namespace vardex::VardexPaths {

inline constexpr std::string_view launchAgentLabel = "com.talvenor.vardex";
inline constexpr std::string_view launchAgentPlistName = "com.talvenor.vardex.plist";
inline constexpr std::string_view appVersion = "0.1.0";
// Searched for the engine when PATH is unset or empty.
inline constexpr std::string_view defaultSearchPath = "/usr/local/bin:/opt/homebrew/bin:/usr/bin:/bin";
inline constexpr std::string_view engineFileName = "vardex";

// A variable set to the empty string counts as unset.
std::optional<std::string> env(std::string_view name);

// HOME when set and not empty, else the account's home directory.
std::filesystem::path homeDirectory();
std::filesystem::path homeURL();
// HOME and the XDG base directory variables, as the layout reads them.
LayoutEnvironment layoutEnvironment();
// The platform's layout for the current environment, before the VARDEX_... switches.
HomeLayout homeLayout();
std::filesystem::path supportDirectory();
std::filesystem::path logsDirectory();
// VARDEX_STATE_DIR unchanged when set, else the layout's engine state folder.
std::filesystem::path auditDirectory();
std::filesystem::path auditLogURL();
std::filesystem::path launchAgentDirectory();
std::filesystem::path launchAgentPlistURL();
std::filesystem::path pauseStateURL();
std::filesystem::path settingsURL();
std::filesystem::path userConfigDirectory();
std::filesystem::path userPolicyURL();
// The daemon socket: VARDEX_SOCK, else the layout's.
std::string socketPath();
// The socket every agent and the app use when VARDEX_SOCK says nothing, for `home`.
std::filesystem::path defaultSocketFor(const std::filesystem::path& home);
// The account's own home folder, whatever HOME says.
std::filesystem::path accountHome();

// Whether the VARDEX_... switches count. An agent can plant environment for the next start of the
// app or the daemon (another engine, socket or state folder), so an installed build takes none
// of them in the account's own home; tests and scripts run in a home of their own, where they work.
bool switchesHonoured(bool installedBuild, const std::filesystem::path& home, const std::filesystem::path& account);

// The MCP configuration files coding agents keep under HOME, in the order they are searched.
std::vector<std::filesystem::path> mcpConfigCandidates();

// True for an existing file (not a folder) the current user may execute.
bool isExecutable(const std::filesystem::path& path);

struct DirectoryError {
    std::filesystem::path path;
    std::error_code code;

    std::string description() const;
    friend bool operator==(const DirectoryError&, const DirectoryError&) = default;
};

// Creates the folder and its missing parents; a folder that already exists is success.
Result<void, DirectoryError> ensureDirectory(const std::filesystem::path& directory);

// The running program, from /proc/self/exe; absent when the system does not say.
std::optional<std::filesystem::path> runningExecutable();

// The engine program for an app whose executable is `executable`. An engine shipped inside an
// ".app" folder wins over everything; otherwise VARDEX_BIN, then a "vardex" beside the
// executable, then the folders of PATH. Absent when none is executable.
std::optional<std::filesystem::path> vardexBinaryFor(const std::optional<std::filesystem::path>& executable);
// `vardexBinaryFor(runningExecutable())`.
std::optional<std::filesystem::path> vardexBinary();

}  // namespace vardex::VardexPaths
