#include "engine_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

#include <gtest/gtest.h>

#include "support/temp_folder.hpp"

extern char** environ;

namespace vardex::testing {
namespace {

}  // namespace

EngineRun::EngineRun(const std::filesystem::path& folder, std::vector<std::string> arguments,
                     const std::string& input)
    : EngineRun(folder, VARDEX_ENGINE_EXE, std::move(arguments), input) {}

EngineRun::EngineRun(const std::filesystem::path& folder, const std::filesystem::path& program,
                     std::vector<std::string> arguments, const std::string& input) {
    static std::atomic<int> counter{0};
    const std::string stem = "run" + std::to_string(counter++);
    const auto stdinFile = folder / (stem + ".in");
    stdout_ = folder / (stem + ".out");
    stderr_ = folder / (stem + ".err");
    writeFile(stdinFile, input);

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, stdinFile.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, stdout_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&files, 2, stderr_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    arguments.insert(arguments.begin(), program.string());
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, program.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) {
        pid_ = -1;
        ADD_FAILURE() << "could not start " << program;
    }
}

EngineRun::~EngineRun() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

EngineRun::Outcome EngineRun::finish() {
    Outcome outcome;
    if (pid_ > 0) {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) continue;
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
        pid_ = -1;
    }
    outcome.out = readFile(stdout_).value_or("");
    outcome.err = readFile(stderr_).value_or("");
    return outcome;
}

}  // namespace vardex::testing
