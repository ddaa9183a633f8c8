#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <optional>

namespace vardex::engine {

// The process that connected to `fd`, as the kernel recorded it then (SO_PEERCRED).
std::optional<ucred> connectingProcess(int fd);

// Asks the kernel to name the sender of everything later read from `fd` (SO_PASSCRED).
bool askForSenderCredentials(int fd);

struct ReceivedBytes {
    ssize_t count = -1;  // as recv() returns it, errno set when negative
    // The process that wrote these bytes, as it was when it wrote them; absent when the kernel
    // named nobody. One read never joins the bytes of two senders.
    std::optional<ucred> sender;
};

ReceivedBytes receiveWithSender(int fd, char* buffer, std::size_t size);

}  // namespace vardex::engine
