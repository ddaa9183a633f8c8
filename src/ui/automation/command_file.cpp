#include "ui/automation/command_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vardex::ui {

namespace {

// A script's batch is a few lines; anything larger is not a command file.
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

Result<std::string, std::string> readOwnRegularFile(const std::filesystem::path& file) {
    Descriptor fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return fail(errno == ELOOP ? std::string("the command file is a link") : systemError("cannot open the command file"));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return fail(systemError("cannot read the command file"));
    if (!S_ISREG(info.st_mode)) return fail(std::string("the command file is not a regular file"));
    if (info.st_uid != ::getuid()) return fail(std::string("the command file belongs to another user"));
    std::string text;
    char buffer[8192];
    while (text.size() < maxBatchBytes) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(systemError("cannot read the command file"));
        if (n == 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return fail(std::string("the command file is larger than 1 MiB"));
}

}  // namespace

CommandFile::CommandFile(std::filesystem::path path) : path_(std::move(path)) {}

Result<std::vector<std::string>, std::string> CommandFile::take() {
    const auto taken = path_.parent_path() / ("." + path_.filename().string() + ".taken-" + std::to_string(::getpid()));
    if (::rename(path_.c_str(), taken.c_str()) != 0) {
        if (errno == ENOENT) return std::vector<std::string>{};
        return fail(systemError("cannot take the command file"));
    }
    auto text = readOwnRegularFile(taken);
    ::unlink(taken.c_str());
    if (!text) return fail(text.error());

    std::string data = std::move(partial_) + *text;
    partial_.clear();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = data.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = data.substr(start, end - start);
        if (line.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(std::move(line));
    }
    partial_ = data.substr(start);
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
