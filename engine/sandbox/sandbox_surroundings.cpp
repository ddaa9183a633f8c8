#include "sandbox/sandbox_surroundings.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "core/secret_catalogue.hpp"
#include "sandbox/real_paths.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// Caches and stores that package managers and builds write during ordinary work.
constexpr std::array buildCaches = std::to_array<std::string_view>({
    ".cache", ".npm", ".pnpm-store", ".local/share/pnpm", ".yarn/berry", ".cargo/registry", ".cargo/git",
    "go/pkg/mod", ".m2/repository", ".gradle/caches", ".gradle/wrapper",
});

// What runs later by itself, or configures what does: changed by a command, these would carry it
// out of the sandbox.
constexpr std::array startUpPlaces = std::to_array<std::string_view>({
    ".bashrc", ".bash_profile", ".bash_login", ".bash_logout", ".profile", ".zshrc", ".zshenv", ".zprofile",
    ".zlogin", ".config/fish", ".gitconfig", ".config/git", ".local/bin", ".config/autostart",
    ".config/systemd/user", ".config/environment.d",
});

// Readable inside a masked secret folder: ssh needs them and they hold no key.
constexpr std::array readableInSecrets = std::to_array<std::string_view>({".ssh/known_hosts", ".ssh/config"});

// The desktop's sockets that live on disk; abstract ones go with the network namespace.
constexpr std::array desktopSocketFolders = std::to_array<std::string_view>({"/tmp/.X11-unix", "/tmp/.ICE-unix"});

// What marks the top of an installed package or a checked-out server.
constexpr std::array packageManifests = std::to_array<std::string_view>({
    "package.json", "pyproject.toml", "setup.py", "Cargo.toml", "go.mod", "deno.json",
});
// How far above its file a package's top is looked for (node_modules/pkg/dist/bin/x.js).
constexpr int packageDepth = 6;

bool present(const fs::path& path) {
    std::error_code code;
    return fs::exists(path, code);
}

bool isFolder(const fs::path& path) {
    std::error_code code;
    return fs::is_directory(path, code);
}

bool within(const fs::path& inner, const fs::path& outer) {
    auto [end, ignored] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return end == outer.end();
}

class Planner {
public:
    Planner(SandboxPlan& plan, RealPaths& paths) : plan_(plan), paths_(paths) {}

    // The place itself, symbolic links followed, so nesting is judged on what is really mounted.
    void add(const fs::path& path, SandboxAccess access) {
        if (path.empty()) return;
        if (const auto place = paths_.find(path)) plan_.mounts.push_back({place->path, access, place->folder});
    }

private:
    SandboxPlan& plan_;
    RealPaths& paths_;
};

// The git folders a command must not change: hooks and configuration run code at the next git
// command outside. A linked worktree's ".git" file names its own folder and the shared one.
std::vector<fs::path> gitFolders(const fs::path& project) {
    const auto dotGit = project / ".git";
    if (isFolder(dotGit)) return {dotGit};
    std::ifstream in(dotGit);
    std::string line;
    if (!std::getline(in, line) || !line.starts_with("gitdir: ")) return {};
    fs::path own = line.substr(8);
    if (own.is_relative()) own = project / own;
    std::vector<fs::path> folders{own};
    std::ifstream common(own / "commondir");
    if (std::getline(common, line) && !line.empty()) {
        fs::path shared = line;
        folders.push_back(shared.is_relative() ? own / shared : shared);
    }
    return folders;
}

fs::path expandHome(const std::string& place, const fs::path& home) {
    if (place == "~") return home;
    if (place.starts_with("~/")) return home / place.substr(2);
    return place;
}

bool withinSecret(const fs::path& place, const fs::path& home, RealPaths& paths) {
    return std::any_of(secretPlaces().begin(), secretPlaces().end(), [&](const SecretPlace& secret) {
        return within(place, paths.real(home / secret.relative));
    });
}

// The folder a program file belongs to: the nearest one above it, below the home and the root,
// with a package's manifest, else the file's own folder.
fs::path packageFolder(const fs::path& file, const fs::path& home) {
    const auto own = file.parent_path();
    auto folder = own;
    for (int up = 0; up < packageDepth && folder != home && folder != folder.root_path() && !folder.empty(); ++up) {
        for (const auto manifest : packageManifests) {
            if (present(folder / manifest)) return folder;
        }
        folder = folder.parent_path();
    }
    return own;
}

}  // namespace

fs::path projectFolder(const fs::path& workingFolder) {
    for (auto folder = workingFolder; !folder.empty(); folder = folder.parent_path()) {
        if (present(folder / ".git")) return folder;
        if (folder == folder.parent_path()) break;
    }
    return workingFolder;
}

SandboxPlan planSandbox(const SandboxSurroundings& s) {
    SandboxPlan plan;
    plan.workingFolder = s.workingFolder;
    plan.network = s.settings.network;
    RealPaths paths;
    Planner planner(plan, paths);
    const auto real = [&paths](const fs::path& path) { return paths.real(path); };
    const auto home = real(s.home);

    planner.add("/tmp", SandboxAccess::writable);
    for (const auto folder : desktopSocketFolders) planner.add(fs::path(folder), SandboxAccess::hidden);
    // The home as a whole stays read-only even where it lies in a writable place.
    planner.add(home, SandboxAccess::readOnly);
    for (const auto cache : buildCaches) planner.add(home / cache, SandboxAccess::writable);
    for (const auto& extra : s.settings.writable) planner.add(expandHome(extra, home), SandboxAccess::writable);

    auto project = real(projectFolder(real(s.workingFolder)));
    if (within(real(s.workingFolder), home) && project == home) project = real(s.workingFolder);
    if (!within(home, project)) {
        planner.add(project, SandboxAccess::writable);
        for (const auto& git : gitFolders(project)) {
            planner.add(git / "hooks", SandboxAccess::readOnly);
            planner.add(git / "config", SandboxAccess::readOnly);
        }
    }

    for (const auto place : startUpPlaces) planner.add(home / place, SandboxAccess::readOnly);
    for (std::stringstream folders(s.searchPath); !folders.eof();) {
        std::string folder;
        std::getline(folders, folder, ':');
        if (!folder.empty() && within(real(folder), home)) planner.add(folder, SandboxAccess::readOnly);
    }
    for (const auto& folder : s.engineFolders) planner.add(folder, SandboxAccess::readOnly);
    for (const auto& file : s.agentSettings) planner.add(file, SandboxAccess::readOnly);

    for (const auto& place : secretPlaces()) planner.add(home / place.relative, SandboxAccess::hidden);
    for (const auto& place : s.protectedPlaces) planner.add(expandHome(place.string(), home), SandboxAccess::hidden);
    for (const auto file : readableInSecrets) planner.add(home / file, SandboxAccess::readOnly);
    // Keys and tokens are no program's files, whatever a server's arguments name.
    for (const auto& file : s.programFiles) {
        const auto folder = packageFolder(real(file), home);
        if (!withinSecret(folder, home, paths)) planner.add(folder, SandboxAccess::readOnly);
    }

    if (s.runtimeFolder) planner.add(*s.runtimeFolder, SandboxAccess::hidden);
    // The daemon's folder goes whole, so a socket made anew while the command runs stays out of
    // reach too; a socket in a shared folder is hidden by itself.
    const auto socket = real(s.daemonSocket);
    const auto socketFolder = socket.parent_path();
    const bool sharedFolder = socketFolder == socketFolder.root_path() || within(home, socketFolder) ||
                              within(project, socketFolder) || socketFolder == real("/tmp");
    if (!s.daemonSocket.empty()) planner.add(sharedFolder ? socket : socketFolder, SandboxAccess::hidden);
    if (s.settings.sshAgent && s.sshAgentSocket) planner.add(*s.sshAgentSocket, SandboxAccess::passedIn);
    return plan;
}

}  // namespace vardex::engine
