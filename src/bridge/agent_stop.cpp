#include "bridge/agent_stop.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <fstream>

#include "bridge/engine_json.hpp"
#include "bridge/vardex_paths.hpp"

extern char** environ;

namespace vardex {
namespace {

namespace fs = std::filesystem;

std::string isoSeconds(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    const auto length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, length);
}

std::error_code lastError() { return {errno, std::generic_category()}; }

// Temporary file in the same folder, then a rename, so a reader never sees half a flag.
Result<void, AgentStopError> writeWhole(const fs::path& file, std::string_view text) {
    std::string pattern = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return fail(AgentStopError{file, lastError()});
    const fs::path temporary = pattern;
    std::size_t written = 0;
    while (written < text.size()) {
        const auto n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const auto code = lastError();
            ::close(fd);
            ::unlink(temporary.c_str());
            return fail(AgentStopError{file, code});
        }
        written += static_cast<std::size_t>(n);
    }
    // mkstemp makes the file private; the flag is for the engine and for people to read.
    ::fchmod(fd, 0644);
    if (::close(fd) != 0 || std::rename(temporary.c_str(), file.c_str()) != 0) {
        const auto code = lastError();
        ::unlink(temporary.c_str());
        return fail(AgentStopError{file, code});
    }
    return {};
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string processList() {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char program[] = "/bin/ps";
    char all[] = "-axo";
    char columns[] = "pid=,comm=";
    char* argv[] = {program, all, columns, nullptr};
    pid_t child = 0;
    const int started = posix_spawn(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string output;
    if (started == 0) {
        char buffer[8192];
        for (;;) {
            const auto n = ::read(pipeFds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ::close(pipeFds[0]);
    return output;
}

}  // namespace

std::string AgentStopError::description() const { return "Could not change " + path.string() + ": " + code.message(); }

namespace AgentStop {

fs::path flagURL() { return VardexPaths::auditDirectory() / flagName; }

bool isStopped(const fs::path& flag) {
    std::error_code ignored;
    return fs::exists(flag, ignored);
}

Result<void, AgentStopError> stop(const fs::path& flag, std::chrono::system_clock::time_point now) {
    if (auto made = VardexPaths::ensureDirectory(flag.parent_path()); !made) {
        return fail(AgentStopError{made.error().path, made.error().code});
    }
    return writeWhole(flag, "stopped " + isoSeconds(now) + "\n");
}

Result<void, AgentStopError> resume(const fs::path& flag) {
    std::error_code code;
    fs::remove(flag, code);
    if (code) return fail(AgentStopError{flag, code});
    return {};
}

std::vector<AgentProcess> parse(std::string_view ps, std::int32_t ownPid) {
    std::vector<AgentProcess> found;
    std::size_t start = 0;
    while (start < ps.size()) {
        auto end = ps.find('\n', start);
        if (end == std::string_view::npos) end = ps.size();
        const std::string_view line = trimBlanks(ps.substr(start, end - start));
        start = end + 1;

        const auto space = line.find(' ');
        if (space == std::string_view::npos || space + 1 == line.size()) continue;
        const std::string_view pidText = line.substr(0, space);
        std::int32_t pid = 0;
        const auto [rest, error] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
        if (error != std::errc() || rest != pidText.data() + pidText.size()) continue;
        if (pid < 2 || pid == ownPid) continue;

        const std::string_view command = trimBlanks(line.substr(space + 1));
        const auto slash = command.rfind('/');
        const std::string_view name = slash == std::string_view::npos ? command : command.substr(slash + 1);
        if (std::find(std::begin(agentProcessNames), std::end(agentProcessNames), name) != std::end(agentProcessNames)) {
            found.push_back(AgentProcess{pid, std::string(name)});
        }
    }
    return found;
}

std::vector<AgentProcess> runningAgents() {
    return parse(engine_json::repairedUTF8(processList()), static_cast<std::int32_t>(::getpid()));
}

int terminate(const std::vector<AgentProcess>& processes) {
    int sent = 0;
    for (const auto& process : processes) {
        // 0 and -1 would signal a whole group or every process of the user, 1 is init.
        if (process.pid < 2) continue;
        if (::kill(process.pid, SIGTERM) == 0) ++sent;
    }
    return sent;
}

}  // namespace AgentStop

}  // namespace vardex
