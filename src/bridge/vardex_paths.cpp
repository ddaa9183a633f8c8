#include "bridge/vardex_paths.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cerrno>
#include <vector>

namespace vardex::VardexPaths {

std::filesystem::path accountHome() {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd account{};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &account, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') return found->pw_dir;
    // An account without a home entry still needs somewhere to point; the root keeps every
    // derived path absolute.
    return "/";
}

bool switchesHonoured(bool installedBuild, const std::filesystem::path& home, const std::filesystem::path& account) {
    if (!installedBuild) return true;
    std::error_code ignored;
    const auto same = std::filesystem::equivalent(home, account, ignored);
    return !same && home.lexically_normal() != account.lexically_normal();
}

namespace {

#ifdef VARDEX_INSTALLED_BUILD
constexpr bool installedBuild = true;
#else
constexpr bool installedBuild = false;
#endif

// Only the layout of a macOS bundle (X.app/Contents/MacOS/program) makes an ".app" folder.
std::optional<std::filesystem::path> enclosingBundle(const std::filesystem::path& executable) {
    const auto macOS = executable.parent_path();
    const auto contents = macOS.parent_path();
    const auto bundle = contents.parent_path();
    if (macOS.filename() != "MacOS" || contents.filename() != "Contents") return std::nullopt;
    if (bundle.extension() != ".app") return std::nullopt;
    return bundle;
}

std::vector<std::filesystem::path> inAppCandidates(const std::filesystem::path& executable,
                                                   const std::optional<std::filesystem::path>& bundle) {
    std::vector<std::filesystem::path> candidates{executable.parent_path() / engineFileName};
    if (bundle) {
        candidates.push_back(*bundle / "Contents/MacOS" / engineFileName);
        candidates.push_back(*bundle / "Contents/Resources" / engineFileName);
        candidates.push_back(bundle->parent_path() / engineFileName);
    }
    return candidates;
}

std::optional<std::filesystem::path> searchPath() {
    const std::string folders = env("PATH").value_or(std::string(defaultSearchPath));
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        // An empty entry would mean the working folder; the engine is never taken from there.
        if (end > start) {
            // Joined as text, so a folder written with a final "/" keeps it.
            std::filesystem::path candidate = folders.substr(start, end - start) + "/" + std::string(engineFileName);
            if (isExecutable(candidate)) return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> env(std::string_view name) {
    if (installedBuild && name.starts_with("VARDEX_")) {
        const char* home = std::getenv("HOME");
        if (!switchesHonoured(true, home && *home ? home : accountHome(), accountHome())) return std::nullopt;
    }
    // Linux keeps one environment per process, so the live table is also the process's own map.
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::filesystem::path homeDirectory() {
    if (auto home = env("HOME")) return *home;
    return accountHome();
}

std::filesystem::path homeURL() { return homeDirectory(); }

LayoutEnvironment layoutEnvironment() {
    return {homeDirectory(), env("XDG_STATE_HOME"), env("XDG_CONFIG_HOME"), env("XDG_RUNTIME_DIR")};
}

HomeLayout homeLayout() { return platformLayout(layoutEnvironment()); }
std::filesystem::path supportDirectory() { return homeLayout().support; }
std::filesystem::path logsDirectory() { return homeLayout().logs; }

std::filesystem::path auditDirectory() {
    if (auto state = env("VARDEX_STATE_DIR")) return *state;
    return homeLayout().engineState;
}

std::filesystem::path auditLogURL() { return auditDirectory() / "audit.jsonl"; }
std::filesystem::path launchAgentDirectory() { return homeDirectory() / "Library/LaunchAgents"; }
std::filesystem::path launchAgentPlistURL() { return launchAgentDirectory() / launchAgentPlistName; }
std::filesystem::path pauseStateURL() { return supportDirectory() / "menubar-pause.json"; }
std::filesystem::path settingsURL() { return supportDirectory() / "menubar-settings.json"; }
std::filesystem::path userConfigDirectory() { return homeLayout().userConfig; }
std::filesystem::path userPolicyURL() { return userConfigDirectory() / "policy.yaml"; }

std::string socketPath() {
    if (auto socket = env("VARDEX_SOCK")) return *socket;
    return homeLayout().socket.string();
}

std::filesystem::path defaultSocketFor(const std::filesystem::path& home) {
    auto environment = layoutEnvironment();
    environment.home = home;
    return platformLayout(environment).socket;
}

std::vector<std::filesystem::path> mcpConfigCandidates() {
    const auto home = homeDirectory();
    std::vector<std::filesystem::path> candidates{
        homeLayout().claudeDesktopConfig,
        home / ".claude.json",
        home / ".cursor/mcp.json",
        home / ".codex/config.toml",
    };
    // Where Claude Desktop keeps it on Linux without XDG_CONFIG_HOME, unless that is already named.
    auto plainLinux = home / ".config/Claude/claude_desktop_config.json";
    if (candidates.front() != plainLinux) candidates.push_back(std::move(plainLinux));
    return candidates;
}

bool isExecutable(const std::filesystem::path& path) {
    if (path.empty()) return false;
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return access(path.c_str(), X_OK) == 0;
}

std::string DirectoryError::description() const {
    return "Could not create the folder " + path.string() + ": " + code.message();
}

Result<void, DirectoryError> ensureDirectory(const std::filesystem::path& directory) {
    std::error_code code;
    std::filesystem::create_directories(directory, code);
    if (code) return fail(DirectoryError{directory, code});
    // A file standing where the folder should be is not a folder that exists.
    if (!std::filesystem::is_directory(directory, code)) {
        return fail(DirectoryError{directory, code ? code : std::make_error_code(std::errc::not_a_directory)});
    }
    return {};
}

std::optional<std::filesystem::path> runningExecutable() {
    std::error_code code;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code || executable.empty()) return std::nullopt;
    return executable;
}

std::optional<std::filesystem::path> vardexBinaryFor(const std::optional<std::filesystem::path>& executable) {
    std::optional<std::filesystem::path> bundle;
    std::optional<std::filesystem::path> inApp;
    if (executable) {
        bundle = enclosingBundle(*executable);
        for (const auto& candidate : inAppCandidates(*executable, bundle)) {
            if (isExecutable(candidate)) {
                inApp = candidate;
                break;
            }
        }
    }
    // Inside an installed app the engine shipped with it wins over any setting.
    if (bundle && inApp) return inApp;
    if (auto configured = env("VARDEX_BIN"); configured && isExecutable(*configured)) return *configured;
    if (inApp) return inApp;
    return searchPath();
}

std::optional<std::filesystem::path> vardexBinary() { return vardexBinaryFor(runningExecutable()); }

}  // namespace vardex::VardexPaths
