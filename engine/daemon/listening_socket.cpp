#include "daemon/listening_socket.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "daemon/sender_credentials.hpp"
#include "protocol/json_lines_client.hpp"

namespace vardex::engine {
namespace {

std::string systemText(int code) { return std::system_category().message(code); }

bool fillAddress(sockaddr_un& address, const std::string& path) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() > JsonLinesClient::maxPathBytes) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

// A live daemon accepts the connection; a leftover file refuses it.
bool someoneListens(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool answered = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return answered;
}

// The folder holds the socket other users must not reach. A shared folder (sticky, like /tmp)
// or one owned by someone else is not ours to tighten.
Result<void, std::string> makeFolderPrivate(const std::filesystem::path& folder) {
    std::error_code code;
    std::filesystem::create_directories(folder, code);
    if (code) return fail("Could not create the folder " + folder.string() + ": " + code.message());
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return fail("Could not read the folder " + folder.string() + ": " + systemText(errno));
    }
    if (info.st_uid != ::getuid() || (info.st_mode & S_ISVTX) != 0) return {};
    if ((info.st_mode & 07777) != 0700 && ::chmod(folder.c_str(), 0700) != 0) {
        return fail("Could not make the folder " + folder.string() + " private: " + systemText(errno));
    }
    return {};
}

Result<std::pair<int, ino_t>, std::string> bindAt(const sockaddr_un& address, const std::string& path);

}  // namespace

Result<ListeningSocket, std::string> ListeningSocket::open(const std::string& path) {
    sockaddr_un address{};
    if (!fillAddress(address, path)) {
        return fail("The socket path " + path + " is too long (at most " +
                    std::to_string(JsonLinesClient::maxPathBytes) + " bytes).");
    }
    const std::filesystem::path file(path);
    if (auto folder = makeFolderPrivate(file.parent_path().empty() ? "." : file.parent_path()); !folder) {
        return fail(folder.error());
    }

    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            return fail("Something that is not a socket is in the way at " + path + "; move it and try again.");
        }
        if (someoneListens(address)) return fail("Another vardex daemon is already running at " + path + ".");
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            return fail("Could not remove the old socket " + path + ": " + systemText(errno));
        }
    }

    auto bound = bindAt(address, path);
    if (!bound) return fail(bound.error());
    return ListeningSocket(bound->first, path, bound->second);
}

bool ListeningSocket::inPlace() const {
    struct stat current {};
    return ::lstat(path_.c_str(), &current) == 0 && S_ISSOCK(current.st_mode) && current.st_ino == inode_;
}

Result<void, std::string> ListeningSocket::reclaim() {
    sockaddr_un address{};
    fillAddress(address, path_);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    auto bound = bindAt(address, path_);
    if (!bound) return fail(bound.error());
    ::close(fd_);
    fd_ = bound->first;
    inode_ = bound->second;
    return {};
}

namespace {

Result<std::pair<int, ino_t>, std::string> bindAt(const sockaddr_un& address, const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail("Could not create a socket: " + systemText(errno));
    // The socket file is born 0600: no moment in which another user could connect.
    const mode_t previousMask = ::umask(0177);
    const int bindResult = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindError = errno;
    ::umask(previousMask);
    if (bindResult != 0) {
        ::close(fd);
        return fail("Could not listen at " + path + ": " + systemText(bindError));
    }
    // Accepted connections inherit it, so no byte arrives before the kernel names its sender.
    (void)askForSenderCredentials(fd);
    if (::listen(fd, SOMAXCONN) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return fail("Could not listen at " + path + ": " + systemText(code));
    }
    struct stat made {};
    (void)::lstat(path.c_str(), &made);
    return std::pair{fd, made.st_ino};
}

}  // namespace

ListeningSocket::ListeningSocket(ListeningSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)), inode_(other.inode_) {}

ListeningSocket::~ListeningSocket() {
    if (fd_ < 0) return;
    ::close(fd_);
    struct stat current {};
    if (::lstat(path_.c_str(), &current) == 0 && current.st_ino == inode_) ::unlink(path_.c_str());
}

}  // namespace vardex::engine
