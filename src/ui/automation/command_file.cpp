#include "ui/automation/command_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vardex::ui {

namespace {

// A script's batch is a few lines: at most this much is read at a time, and no line is longer.
constexpr std::size_t maxBatchBytes = 1 << 20;

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

CommandFile::CommandFile(std::filesystem::path path) : path_(std::move(path)) {}

CommandFile::~CommandFile() {
    struct stat info {};
    if (file_ != decltype(file_){} && ::lstat(path_.c_str(), &info) == 0 && std::pair{info.st_dev, info.st_ino} == file_) {
        ::unlink(path_.c_str());
    }
}

Result<std::vector<std::string>, std::string> CommandFile::take() {
    auto lines = read();
    if (lines) {
        refusal_.clear();
        return lines;
    }
    // The same refusal every second would bury every other line of the ".out" file.
    if (lines.error() == refusal_) return std::vector<std::string>{};
    refusal_ = lines.error();
    return lines;
}

Result<std::vector<std::string>, std::string> CommandFile::read() {
    Descriptor fd(::open(path_.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return std::vector<std::string>{};
        return fail(errno == ELOOP ? std::string("the command file is a link") : systemError("cannot open the command file"));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return fail(systemError("cannot read the command file"));
    if (!S_ISREG(info.st_mode)) return fail(std::string("the command file is not a regular file"));
    if (info.st_uid != ::getuid()) return fail(std::string("the command file belongs to another user"));
    // Another file in its place, or the same one cut short, is read from its start.
    const std::pair file{info.st_dev, info.st_ino};
    if (file != file_ || info.st_size < offset_) {
        file_ = file;
        offset_ = 0;
        partial_.clear();
    }

    std::string data = std::move(partial_);
    partial_.clear();
    char buffer[8192];
    for (std::size_t taken = 0; taken < maxBatchBytes;) {
        const ssize_t n = ::pread(fd.get(), buffer, sizeof buffer, offset_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(systemError("cannot read the command file"));
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
        offset_ += n;
        taken += static_cast<std::size_t>(n);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = data.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = data.substr(start, end - start);
        if (line.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(std::move(line));
    }
    partial_ = data.substr(start);
    // The whole lines before an endless one still run; the endless one is dropped on the next read.
    if (partial_.size() > maxBatchBytes && lines.empty()) {
        partial_.clear();
        return fail(std::string("a command line longer than 1 MiB was dropped"));
    }
    return lines;
}

void CommandFile::report(const nlohmann::json& line) const {
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    const auto out = path_.string() + ".out";
    Descriptor fd(::open(out.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) return;
    // One write per line, so a reader never sees half a line between two of ours.
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd.get(), text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        written += static_cast<std::size_t>(n);
    }
}

}  // namespace vardex::ui
