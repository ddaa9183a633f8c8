#include "protocol/peer_identity.hpp"

#include <sys/socket.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace vardex {

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

unsigned long long ticksSinceBoot() {
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    const auto perSecond = static_cast<unsigned long long>(::sysconf(_SC_CLK_TCK));
    return static_cast<unsigned long long>(now.tv_sec) * perSecond +
           static_cast<unsigned long long>(now.tv_nsec) * perSecond / 1'000'000'000ULL;
}

std::optional<unsigned long long> processStartTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The command name in parentheses may hold spaces and parentheses itself; the fields after
    // the last ")" are plain numbers: state is field 3, the start time field 22.
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::size_t at = close + 1;
    for (int field = 3; field <= 22; ++field) {
        at = text.find_first_not_of(' ', at);
        if (at == std::string::npos) return std::nullopt;
        const auto end = text.find(' ', at);
        if (field == 22) {
            try {
                return std::stoull(text.substr(at, end - at));
            } catch (...) {
                return std::nullopt;
            }
        }
        at = end;
    }
    return std::nullopt;
}

std::optional<PeerIdentity> peerIdentity(int fd, unsigned long long notAfterTicks) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 || credentials.pid <= 0) {
        return std::nullopt;
    }
    PeerIdentity peer{credentials.pid, credentials.uid, std::nullopt, 0};
    const auto before = processStartTicks(peer.pid);
    const auto program = fileIdentity("/proc/" + std::to_string(peer.pid) + "/exe");
    const auto after = processStartTicks(peer.pid);
    // One tick of slack: the two clocks are read at different moments of the same tick.
    if (before && after && *before == *after && *before <= notAfterTicks + 1) {
        peer.executable = program;
        peer.startTicks = *before;
    }
    return peer;
}

std::optional<std::string> untrustedDaemon(int fd, const std::vector<std::filesystem::path>& engines) {
    const auto peer = peerIdentity(fd, ticksSinceBoot());
    if (!peer) return "the program listening there could not be identified";
    if (peer->uid != ::geteuid()) return "the program listening there runs as another user";
    if (!peer->executable) return "the program listening there could not be identified";
    for (const auto& engine : engines) {
        if (fileIdentity(engine) == peer->executable) return std::nullopt;
    }
    std::error_code unread;
    const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(peer->pid) + "/exe", unread);
    return "the program listening there (" + (unread ? std::string("process ") + std::to_string(peer->pid) : program.string()) +
           ") is not the Vardex engine";
}

}  // namespace vardex
