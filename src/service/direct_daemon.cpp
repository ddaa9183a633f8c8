#include "service/direct_daemon.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "bridge/vardex_paths.hpp"

extern char** environ;

namespace vardex {
namespace {

std::vector<std::string> daemonEnvironment() {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        std::string text(*entry);
        if (!text.starts_with("HOME=") && !text.starts_with("VARDEX_SOCK=")) entries.push_back(std::move(text));
    }
    entries.push_back("HOME=" + VardexPaths::homeDirectory().string());
    entries.push_back("VARDEX_SOCK=" + VardexPaths::socketPath());
    return entries;
}

// A log that has grown past this is started afresh, since nothing else would ever trim it.
constexpr off_t logLimitBytes = 1 << 20;

// Opened by the app and handed to the child, so the child starts even where the log cannot be
// written (its output then goes nowhere). Closed by the caller.
int openDaemonLog(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_size > logLimitBytes) (void)::ftruncate(fd, 0);
        return fd;
    }
    return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

bool reaped(pid_t pid, int options) {
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, options);
    } while (result < 0 && errno == EINTR);
    // Someone else collecting it (ECHILD) also means it is gone.
    return result == pid || result < 0;
}

}  // namespace

bool DirectDaemonBackend::childRunning() {
    if (!child_) return false;
    if (reaped(*child_, WNOHANG)) child_.reset();
    return child_.has_value();
}

Result<void, ServiceError> DirectDaemonBackend::spawnForegroundDaemon(const std::filesystem::path& engine) {
    std::lock_guard guard(lock_);
    wanted_ = true;
    return spawnUnlessRunning(engine);
}

void DirectDaemonBackend::keepAlive(const std::filesystem::path& engine) {
    std::lock_guard guard(lock_);
    if (!wanted_ || childRunning() || !pacing_.mayRestart(now_())) return;
    (void)spawnUnlessRunning(engine);
}

bool DirectDaemonBackend::running() {
    std::lock_guard guard(lock_);
    return childRunning();
}

Result<void, ServiceError> DirectDaemonBackend::spawnUnlessRunning(const std::filesystem::path& engine) {
    if (childRunning()) return {};

    const int output = openDaemonLog(daemonOutputLog());
    const int errors = openDaemonLog(daemonErrorLog());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (output >= 0) posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    if (errors >= 0) posix_spawn_file_actions_adddup2(&actions, errors, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> arguments{engine.string()};
    for (auto& argument : daemonArguments(app_)) arguments.push_back(std::move(argument));
    auto environment = daemonEnvironment();
    auto argv = pointersTo(arguments);
    auto envp = pointersTo(environment);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, engine.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    for (const int fd : {output, errors}) {
        if (fd >= 0) ::close(fd);
    }
    if (spawned != 0) {
        return fail(ServiceError::system("Could not start " + engine.string() + ": " +
                                         std::system_category().message(spawned) + "."));
    }
    child_ = pid;
    pacing_.started(now_());
    return {};
}

Result<void, ServiceError> DirectDaemonBackend::start(const std::filesystem::path& engine, bool runAtLoad) {
    if (auto written = writeServiceDescription(engine, runAtLoad, app_); !written) return written;
    return spawnForegroundDaemon(engine);
}

void DirectDaemonBackend::stop() {
    std::lock_guard guard(lock_);
    wanted_ = false;
    if (!childRunning()) return;
    const pid_t pid = *child_;
    child_.reset();
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + terminateGrace;
    while (!reaped(pid, WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            reaped(pid, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Result<void, ServiceError> DirectDaemonBackend::setStartAtLogin(const std::filesystem::path& engine, bool on) {
    return writeServiceDescription(engine, on, app_);
}

}  // namespace vardex
