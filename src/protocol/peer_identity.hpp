#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vardex {

// A file as the kernel names it: the same device and inode are the same file, whatever path
// led to it, and a file replaced under the same path is another one.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

// The process at the other end of a connected Unix socket: its user and process id from the
// kernel's credentials of the connection (for a client, the process that connected; for a
// server, the one that listens), the program it runs, and when it started.
struct PeerIdentity {
    pid_t pid = 0;
    uid_t uid = 0;
    std::optional<FileIdentity> executable;  // absent when it could not be read for certain
    unsigned long long startTicks = 0;       // set with `executable`
};

// Reads the peer of `fd`. The program counts only when the process's start time, read before
// and after it, is the same and is not later than `notAfterTicks` (clock ticks since boot,
// taken before the call): a process id reused by a newer process does not pass.
std::optional<PeerIdentity> peerIdentity(int fd, unsigned long long notAfterTicks);

// Why the process listening at the other end of the connected socket `fd` is not to be taken for
// the engine's daemon, or nothing when it is: it must run as this user and run one of `engines`
// (the same file, whatever path leads to it).
std::optional<std::string> untrustedDaemon(int fd, const std::vector<std::filesystem::path>& engines);

// Clock ticks since boot, on the clock /proc reports process start times in.
unsigned long long ticksSinceBoot();

// The start time of `pid` in clock ticks since boot (field 22 of /proc/PID/stat).
std::optional<unsigned long long> processStartTicks(pid_t pid);

}  // namespace vardex
