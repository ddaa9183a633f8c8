#include "policy/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/unicode_text.hpp"

namespace vardex {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closing can report a late write error (for example on a full disk), so it is checked.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string systemReason(int error) { return std::strerror(error); }

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            errno = EIO;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

Result<std::string, PolicyFileError> readFileBytes(const std::filesystem::path& path) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return fail(PolicyFileError::readFailed(path.string(), systemReason(errno)));
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail(PolicyFileError::readFailed(path.string(), systemReason(errno)));
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

Result<std::string, PolicyFileError> readTextFile(const std::filesystem::path& path) {
    auto text = readFileBytes(path);
    if (text && !unicode::isValidUTF8(*text)) return fail(PolicyFileError::notUTF8(path.string()));
    return text;
}

Result<void, PolicyFileError> writeTextFileAtomically(const std::filesystem::path& path, std::string_view text) {
    const auto failed = [&](int error) { return fail(PolicyFileError::writeFailed(path.string(), systemReason(error))); };

    mode_t mode = 0644;
    if (struct stat existing {}; ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        mode = existing.st_mode & 07777;
    }

    std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) return failed(errno);

    int error = 0;
    if (!writeAll(file.get(), text) || ::fchmod(file.get(), mode) != 0 || ::fsync(file.get()) != 0) error = errno;
    if (!file.close() && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return failed(error);
    }
    return {};
}

}  // namespace vardex
