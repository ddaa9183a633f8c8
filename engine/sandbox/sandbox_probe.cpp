#include "sandbox/sandbox_probe.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "bridge/vardex_paths.hpp"

extern char** environ;

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

constexpr const char* systemFolders = "/usr/bin:/bin:/usr/local/bin";
constexpr const char* installFix = "Install bubblewrap (sudo apt install bubblewrap).";

bool executable(const fs::path& path) {
    std::error_code code;
    return fs::is_regular_file(path, code) && ::access(path.c_str(), X_OK) == 0;
}

// What the kernel says about user namespaces, when it says they are off.
std::optional<std::string> namespacesOff() {
    for (const auto* file : {"/proc/sys/kernel/unprivileged_userns_clone", "/proc/sys/user/max_user_namespaces"}) {
        std::ifstream in(file);
        long value = 1;
        if (in >> value && value == 0) return std::string(file);
    }
    return std::nullopt;
}

// The exit status of bwrap around /bin/true, its error output discarded; -1 when it did not start.
int trialRun(const fs::path& bwrap) {
    std::vector<std::string> words{bwrap.string(), "--unshare-user", "--unshare-pid", "--die-with-parent",
                                   "--new-session", "--ro-bind", "/", "/", "--proc", "/proc", "--dev", "/dev",
                                   "--", "/bin/true"};
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int started = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::optional<fs::path> findBwrap(const std::string& searchPath) {
    if (auto chosen = VardexPaths::env("VARDEX_BWRAP")) {
        if (executable(*chosen)) return fs::path(*chosen);
        return std::nullopt;
    }
    std::stringstream folders(searchPath + ":" + systemFolders);
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty() || folder.front() != '/') continue;
        if (executable(fs::path(folder) / "bwrap")) return fs::path(folder) / "bwrap";
    }
    return std::nullopt;
}

SandboxAvailability probeSandbox(const std::string& searchPath) {
    auto bwrap = findBwrap(searchPath);
    if (!bwrap) return {std::nullopt, "bubblewrap (bwrap) is not installed", installFix};
    if (trialRun(*bwrap) == 0) return {bwrap, {}, {}};
    if (auto setting = namespacesOff()) {
        auto name = setting->substr(std::string_view("/proc/sys/").size());
        std::replace(name.begin(), name.end(), '/', '.');
        return {std::nullopt, "user namespaces are switched off (" + *setting + " is 0)",
                "Allow unprivileged user namespaces (sudo sysctl " + name + "=1)."};
    }
    return {std::nullopt, "bubblewrap could not start a sandbox here (a container or a security module may forbid "
                          "it)",
            "Allow unprivileged user namespaces for bwrap, or run where they are allowed."};
}

namespace {

// What a remembered trial is valid for: this boot, this program file as it is now.
std::string trialKey(const fs::path& bwrap) {
    std::ifstream bootFile("/proc/sys/kernel/random/boot_id");
    std::string boot;
    std::getline(bootFile, boot);
    struct stat status {};
    if (boot.empty() || ::stat(bwrap.c_str(), &status) != 0) return {};
    return boot + "\n" + bwrap.string() + "\n" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec) + "\n";
}

void remember(const fs::path& memory, const std::string& key) {
    std::error_code ignored;
    fs::create_directories(memory.parent_path(), ignored);
    const auto temporary = memory.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << key;
        if (!out.flush()) return;
    }
    fs::rename(temporary, memory, ignored);
}

}  // namespace

fs::path sandboxTrialFile() { return VardexPaths::auditDirectory() / "sandbox-trial"; }

SandboxAvailability rememberedProbe(const fs::path& memory, const std::string& searchPath) {
    const auto bwrap = findBwrap(searchPath);
    const auto key = bwrap ? trialKey(*bwrap) : std::string();
    if (!key.empty()) {
        std::ifstream in(memory, std::ios::binary);
        std::string known(key.size() + 1, '\0');
        in.read(known.data(), static_cast<std::streamsize>(known.size()));
        known.resize(static_cast<std::size_t>(in.gcount()));
        if (known == key) return {bwrap, {}, {}};
    }
    auto found = probeSandbox(searchPath);
    if (found.available() && !key.empty() && found.bwrap == bwrap) remember(memory, key);
    return found;
}

}  // namespace vardex::engine
