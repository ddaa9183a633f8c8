#pragma once

#include <filesystem>
#include <string>
#include <vector>

// What a contained command sees of the file system, and the bubblewrap arguments that build it.
namespace vardex::engine {

// How one place looks from inside. Where places nest, the deeper one decides for its subtree;
// where one place is named twice, the stricter word wins (hidden over read-only over writable).
enum class SandboxAccess {
    writable,  // the command may change it
    passedIn,  // a socket handed in from outside (the ssh agent's)
    readOnly,  // readable, not changeable, even below a writable place
    hidden,    // an empty folder, or an empty file
};

struct SandboxMount {
    std::filesystem::path path;  // absolute
    SandboxAccess access = SandboxAccess::readOnly;
    bool folder = true;  // hidden files are replaced by /dev/null, hidden folders by an empty tmpfs

    friend bool operator==(const SandboxMount&, const SandboxMount&) = default;
};

// Everything outside the listed places is the host's file system, read-only.
struct SandboxPlan {
    std::vector<SandboxMount> mounts;
    std::filesystem::path workingFolder;
    bool network = true;

    friend bool operator==(const SandboxPlan&, const SandboxPlan&) = default;
};

// The arguments after `bwrap` that run `command` inside the plan: a new user, PID, IPC and UTS
// namespace without capabilities (a root caller could otherwise unmount the masks), a session of
// its own, and an end with the caller.
std::vector<std::string> bwrapArguments(const SandboxPlan& plan, const std::vector<std::string>& command);

}  // namespace vardex::engine
