#include "sandbox/sandbox_plan.hpp"

#include <algorithm>
#include <iterator>

namespace vardex::engine {
namespace {

std::ptrdiff_t depth(const std::filesystem::path& path) {
    return std::distance(path.begin(), path.end());
}

bool within(const std::filesystem::path& inner, const std::filesystem::path& outer) {
    auto [end, ignored] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return end == outer.end();
}

// Parents are mounted before their children, so a deeper place is laid over the one around it;
// of two words for one place only the strictest is kept. A place that would look just as the
// place around it does (read-only in read-only, writable in writable, hidden in hidden) is left
// out: every mount costs the sandbox's start about a millisecond.
std::vector<SandboxMount> mountOrder(std::vector<SandboxMount> mounts) {
    for (auto& mount : mounts) {
        mount.path = mount.path.lexically_normal();
        if (!mount.path.has_filename() && mount.path.has_relative_path()) mount.path = mount.path.parent_path();
    }
    std::stable_sort(mounts.begin(), mounts.end(), [](const SandboxMount& a, const SandboxMount& b) {
        if (depth(a.path) != depth(b.path)) return depth(a.path) < depth(b.path);
        if (a.path != b.path) return a.path < b.path;
        return a.access > b.access;
    });
    mounts.erase(std::unique(mounts.begin(), mounts.end(),
                             [](const SandboxMount& a, const SandboxMount& b) { return a.path == b.path; }),
                 mounts.end());
    std::vector<SandboxMount> needed;
    for (const auto& mount : mounts) {
        const auto around = std::find_if(needed.rbegin(), needed.rend(),
                                          [&](const SandboxMount& outer) { return within(mount.path, outer.path); });
        // The host's root, around everything else, is read-only.
        const auto aroundAccess = around == needed.rend() ? SandboxAccess::readOnly : around->access;
        if (mount.access != SandboxAccess::passedIn && mount.access == aroundAccess) continue;
        needed.push_back(mount);
    }
    return needed;
}

void add(std::vector<std::string>& arguments, std::initializer_list<std::string> words) {
    arguments.insert(arguments.end(), words);
}

}  // namespace

std::vector<std::string> bwrapArguments(const SandboxPlan& plan, const std::vector<std::string>& command) {
    std::vector<std::string> arguments{"--unshare-user", "--disable-userns", "--unshare-pid", "--unshare-ipc",
                                       "--unshare-uts", "--unshare-cgroup-try", "--cap-drop", "ALL",
                                       "--die-with-parent", "--new-session"};
    if (!plan.network) arguments.emplace_back("--unshare-net");
    add(arguments, {"--ro-bind", "/", "/", "--dev", "/dev", "--proc", "/proc"});
    for (const auto& mount : mountOrder(plan.mounts)) {
        const std::string path = mount.path.string();
        switch (mount.access) {
        case SandboxAccess::writable:
        case SandboxAccess::passedIn: add(arguments, {"--bind", path, path}); break;
        case SandboxAccess::readOnly: add(arguments, {"--ro-bind", path, path}); break;
        case SandboxAccess::hidden:
            if (mount.folder) {
                add(arguments, {"--tmpfs", path});
            } else {
                add(arguments, {"--ro-bind", "/dev/null", path});
            }
            break;
        }
    }
    add(arguments, {"--chdir", plan.workingFolder.string(), "--"});
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

}  // namespace vardex::engine
