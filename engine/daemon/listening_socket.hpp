#pragma once

#include <string>

#include <sys/types.h>

#include "common/result.hpp"

namespace vardex::engine {

// The daemon's end of the Unix socket. Its folder is made private to the user (0700) and the
// socket itself 0600; a socket file nobody answers on is a leftover of a daemon that died and
// is replaced, while one a live daemon answers on is left alone. The file is removed when the
// object goes.
class ListeningSocket {
public:
    static Result<ListeningSocket, std::string> open(const std::string& path);

    ListeningSocket(ListeningSocket&& other) noexcept;
    ListeningSocket& operator=(ListeningSocket&&) = delete;
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;
    ~ListeningSocket();

    // Non-blocking, close-on-exec.
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Whether the file at the path is still the socket this object bound; one moved, removed or
    // replaced by another program's (which would take every new connection) is not.
    bool inPlace() const;
    // Takes the path back: whatever is there now is removed and a new socket bound in its place.
    // Connections accepted before are kept; new ones reach the new socket.
    Result<void, std::string> reclaim();

private:
    ListeningSocket(int fd, std::string path, ino_t inode) : fd_(fd), path_(std::move(path)), inode_(inode) {}

    int fd_ = -1;
    std::string path_;
    // Only the file this daemon bound is removed, never one a later daemon put in its place.
    ino_t inode_ = 0;
};

}  // namespace vardex::engine
