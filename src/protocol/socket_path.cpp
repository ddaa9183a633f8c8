#include "protocol/socket_path.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace vardex {
namespace {

std::string homeFolder() {
    // HOME counts whenever it exists, even empty: the socket path follows the environment.
    if (const char* home = std::getenv("HOME")) return home;
    if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr) {
        return account->pw_dir;
    }
    return {};
}

}  // namespace

std::string defaultSocketPath() {
    if (const char* sock = std::getenv("VARDEX_SOCK"); sock != nullptr && *sock != '\0') return sock;
    return homeFolder() + "/Library/Application Support/Talvenor/vardex.sock";
}

}  // namespace vardex
