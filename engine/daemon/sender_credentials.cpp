#include "daemon/sender_credentials.hpp"

#include <cstring>

namespace vardex::engine {

std::optional<ucred> connectingProcess(int fd) {
    ucred process{};
    socklen_t size = sizeof process;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &process, &size) != 0 || size != sizeof process || process.pid <= 0) {
        return std::nullopt;
    }
    return process;
}

bool askForSenderCredentials(int fd) {
    const int on = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) == 0;
}

ReceivedBytes receiveWithSender(int fd, char* buffer, std::size_t size) {
    iovec data{buffer, size};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ReceivedBytes received;
    received.count = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
    if (received.count <= 0) return received;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_CREDENTIALS &&
            header->cmsg_len == CMSG_LEN(sizeof(ucred))) {
            ucred sender{};
            std::memcpy(&sender, CMSG_DATA(header), sizeof sender);
            if (sender.pid > 0) received.sender = sender;
        }
    }
    return received;
}

}  // namespace vardex::engine
