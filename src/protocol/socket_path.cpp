#include "protocol/socket_path.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vardex {
namespace {

std::string homeFolder() {
    // HOME counts whenever it exists, even empty: the socket path follows the environment.
    if (const char* home = std::getenv("HOME")) return home;
    // The reentrant look-up: engine runs on worker threads ask for this path too.
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd account{};
    passwd* found = nullptr;
    while (getpwuid_r(getuid(), &account, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (found != nullptr && found->pw_dir != nullptr) return found->pw_dir;
    return {};
}

}  // namespace

std::string defaultSocketPath() {
    if (const char* sock = std::getenv("VARDEX_SOCK"); sock != nullptr && *sock != '\0') return sock;
    return homeFolder() + "/Library/Application Support/Talvenor/vardex.sock";
}

}  // namespace vardex
