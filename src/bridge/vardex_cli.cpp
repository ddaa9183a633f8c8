#include "bridge/vardex_cli.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <string_view>
#include <system_error>

#include "bridge/vardex_paths.hpp"
#include "protocol/protocol_json.hpp"

extern char** environ;

namespace vardex::VardexCli {
namespace {

class Descriptor {
public:
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    void adopt(int fd) {
        reset();
        fd_ = fd;
    }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Descriptor readEnd;
    Descriptor writeEnd;
};

// Close-on-exec from the start, so a run started at the same moment on another thread never
// inherits this run's write ends and keeps its streams open.
std::optional<int> openPipe(Pipe& pipe) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return errno;
    pipe.readEnd.adopt(ends[0]);
    pipe.writeEnd.adopt(ends[1]);
    return std::nullopt;
}

std::string reasonFor(int code) { return std::system_category().message(code) + "."; }

void setEntry(std::vector<std::string>& entries, std::string_view name, const std::string& value) {
    const std::string prefix = std::string(name) + "=";
    std::erase_if(entries, [&](const std::string& entry) { return entry.starts_with(prefix); });
    entries.push_back(prefix + value);
}

std::vector<std::string> childEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) entries.emplace_back(*entry);
    setEntry(entries, "HOME", VardexPaths::homeDirectory().string());
    setEntry(entries, "VARDEX_SOCK", VardexPaths::socketPath());
    if (auto state = VardexPaths::env("VARDEX_STATE_DIR")) setEntry(entries, "VARDEX_STATE_DIR", *state);
    for (const auto& [name, value] : extra) setEntry(entries, name, value);
    return entries;
}

// A file in memory holding `text`, read from its start: standard input that never blocks the
// writer, however long the text.
std::optional<int> inputHolding(Descriptor& file, const std::string& text) {
    file.adopt(::memfd_create("vardex-input", MFD_CLOEXEC));
    if (file.get() < 0) return errno;
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t count = ::write(file.get(), text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return errno;
        written += static_cast<std::size_t>(count);
    }
    if (::lseek(file.get(), 0, SEEK_SET) != 0) return errno;
    return std::nullopt;
}

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    pointers.reserve(texts.size() + 1);
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The exit status as `CliResult` reports it.
std::int32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Absent while the program runs.
std::optional<std::int32_t> reapIfEnded(pid_t pid) {
    int status = 0;
    pid_t ended = 0;
    do {
        ended = ::waitpid(pid, &status, WNOHANG);
    } while (ended < 0 && errno == EINTR);
    if (ended == 0) return std::nullopt;
    return ended < 0 ? -1 : exitCodeOf(status);
}

void killGroupAndReap(pid_t pid) {
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// A descriptor that becomes readable when the program ends; -1 where the kernel has none, and
// the loop below then looks every few milliseconds instead.
int exitWatchFor(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

constexpr std::chrono::milliseconds exitLookInterval{10};

int pollTimeout(std::chrono::steady_clock::duration left) {
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::clamp<long long>(milliseconds, 0, 60'000));
}

// Reads both streams while the program runs (a program that fills one pipe while the app waits
// on the other would otherwise never finish) and reaps it. The end of the streams is not
// waited for beyond `readingAfterExit` once the program has ended, as children it left behind
// hold them. Absent when `deadline` passed first; the program's group is then killed.
std::optional<std::int32_t> drainAndReap(pid_t pid, Pipe& outPipe, Pipe& errPipe, std::string& out, std::string& err,
                                         std::chrono::steady_clock::time_point deadline) {
    using Clock = std::chrono::steady_clock;
    Descriptor exitWatch;
    exitWatch.adopt(exitWatchFor(pid));
    std::array<pollfd, 3> watched{
        {{outPipe.readEnd.get(), POLLIN, 0}, {errPipe.readEnd.get(), POLLIN, 0}, {exitWatch.get(), POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    std::array<char, 65536> buffer{};
    int open = 2;
    std::optional<std::int32_t> exitCode;
    Clock::time_point stopReading = deadline;
    for (;;) {
        if (!exitCode) {
            exitCode = reapIfEnded(pid);
            if (exitCode) {
                stopReading = std::min(deadline, Clock::now() + readingAfterExit);
                watched[2].fd = -1;
            }
        }
        if (open == 0 && exitCode) break;
        const auto now = Clock::now();
        if (now >= stopReading) break;
        auto left = stopReading - now;
        if (!exitCode && exitWatch.get() < 0) left = std::min<Clock::duration>(left, exitLookInterval);
        if (::poll(watched.data(), watched.size(), pollTimeout(left)) < 0) {
            if (errno == EINTR) continue;
            // Closing the read ends lets a writing child finish (it sees a broken pipe) rather
            // than block forever while this thread waits for it.
            outPipe.readEnd.reset();
            errPipe.readEnd.reset();
            watched[0].fd = watched[1].fd = -1;
            open = 0;
            continue;
        }
        for (std::size_t i = 0; i < sinks.size(); ++i) {
            if (watched[i].fd < 0 || watched[i].revents == 0) continue;
            const ssize_t count = ::read(watched[i].fd, buffer.data(), buffer.size());
            if (count > 0) {
                sinks[i]->append(buffer.data(), static_cast<std::size_t>(count));
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                watched[i].fd = -1;  // poll skips negative descriptors
                --open;
            }
        }
    }
    if (!exitCode) killGroupAndReap(pid);
    return exitCode;
}

std::string asText(std::string bytes) { return isValidUTF8(bytes) ? std::move(bytes) : std::string(); }

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }

    posix_spawn_file_actions_t actions{};
    posix_spawnattr_t attributes{};
};

}  // namespace

Result<CliResult, CliError> runBinary(const std::filesystem::path& binary, const std::vector<std::string>& arguments,
                                      const std::optional<std::filesystem::path>& cwd,
                                      std::chrono::milliseconds timeLimit) {
    return runProgram(binary, arguments, RunSetup{cwd, timeLimit, std::nullopt, {}});
}

Result<CliResult, CliError> runProgram(const std::filesystem::path& binary, const std::vector<std::string>& arguments,
                                       const RunSetup& run) {
    const auto deadline = std::chrono::steady_clock::now() + run.timeLimit;
    Pipe out;
    Pipe err;
    Descriptor input;
    if (auto code = openPipe(out)) return fail(CliError::spawnFailed(reasonFor(*code)));
    if (auto code = openPipe(err)) return fail(CliError::spawnFailed(reasonFor(*code)));
    if (run.input) {
        if (auto code = inputHolding(input, *run.input)) return fail(CliError::spawnFailed(reasonFor(*code)));
    }

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, out.writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&setup.actions, err.writeEnd.get(), STDERR_FILENO);
    if (run.input) posix_spawn_file_actions_adddup2(&setup.actions, input.get(), STDIN_FILENO);
    if (run.cwd) posix_spawn_file_actions_addchdir_np(&setup.actions, run.cwd->c_str());
    // The engine starts with ordinary signal handling whatever this process blocks or ignores.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    // A group of its own, so a run past its time limit is ended with everything it started.
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<std::string> argumentTexts{binary.string()};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environmentTexts = childEnvironment(run.environment);
    auto argv = pointersTo(argumentTexts);
    auto envp = pointersTo(environmentTexts);

    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, binary.c_str(), &setup.actions, &setup.attributes, argv.data(), envp.data());
    // Only the child (and what it starts) may hold the write ends.
    out.writeEnd.reset();
    err.writeEnd.reset();
    if (spawned != 0) return fail(CliError::spawnFailed(reasonFor(spawned)));

    CliResult result;
    const auto exitCode = drainAndReap(pid, out, err, result.stdout, result.stderr, deadline);
    if (!exitCode) return fail(CliError::timedOut());
    result.exitCode = *exitCode;
    result.stdout = asText(std::move(result.stdout));
    result.stderr = asText(std::move(result.stderr));
    return result;
}

Result<CliResult, CliError> run(const std::vector<std::string>& arguments, const std::optional<std::filesystem::path>& cwd,
                                std::chrono::milliseconds timeLimit) {
    auto binary = VardexPaths::vardexBinary();
    if (!binary) return fail(CliError::binaryMissing());
    return runBinary(*binary, arguments, cwd, timeLimit);
}

}  // namespace vardex::VardexCli
