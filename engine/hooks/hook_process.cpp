#include "hooks/hook_process.hpp"

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <optional>
#include <string>

#include "bridge/vardex_paths.hpp"
#include "daemon/agent_client.hpp"
#include "hooks/hook_core.hpp"
#include "hooks/sandbox_route.hpp"

namespace vardex::engine {
namespace {

// The answer is in the output; a non-zero status would make some agents ignore it.
constexpr int exitAnswered = 0;

// Written whole before the deadline timer is armed: the signal handler may only copy bytes
// that already exist.
std::string deadlineOutput;

extern "C" void hookDeadlinePassed(int) {
    (void)!::write(STDOUT_FILENO, deadlineOutput.data(), deadlineOutput.size());
    ::_exit(exitAnswered);
}

void armDeadline(const HookAdapter& adapter, double seconds) {
    deadlineOutput = HookCore::answerText(HookCore::lateAnswer(adapter)) + "\n";
    struct sigaction action {};
    action.sa_handler = hookDeadlinePassed;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    itimerval timer{};
    timer.it_value.tv_sec = static_cast<time_t>(seconds);
    timer.it_value.tv_usec = static_cast<suseconds_t>((seconds - static_cast<double>(timer.it_value.tv_sec)) * 1e6);
    ::setitimer(ITIMER_REAL, &timer, nullptr);
}

void disarmDeadline() {
    itimerval none{};
    ::setitimer(ITIMER_REAL, &none, nullptr);
}

// Standard input up to `limit` bytes; absent when there is more.
std::optional<std::string> readInput(std::size_t limit) {
    std::string input;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return input;
        input.append(buffer, static_cast<std::size_t>(count));
        if (input.size() > limit) return std::nullopt;
    }
}

void writeAll(const std::string& text) {
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t count = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return;
        written += static_cast<std::size_t>(count);
    }
}

// An engine that cannot say where its own program lies cannot name it in a command line: that
// counts as no sandbox.
HookCore::CommandRewrite sandboxedShell() {
    const auto settings = loadSandboxSettings(sandboxSettingsFile());
    const auto self = VardexPaths::runningExecutable();
    const auto searchPath = VardexPaths::env("PATH").value_or("");
    return sandboxRewrite(self.value_or(""), settings, [self, searchPath]() -> SandboxAvailability {
        if (!self) return {std::nullopt, "the engine cannot tell where its own program lies", "Reinstall Vardex."};
        return rememberedProbe(sandboxTrialFile(), searchPath);
    });
}

}  // namespace

int runHookProcess(const HookAdapter& adapter) {
    const double seconds = HookCore::deadlineSeconds(agentWaitSeconds(), VardexPaths::env("VARDEX_HOOK_SECONDS"));
    armDeadline(adapter, seconds);
    const auto input = readInput(HookCore::maxInputBytes);
    nlohmann::json answer;
    try {
        answer = input ? HookCore::run(adapter, *input, VardexPaths::socketPath(), seconds, sandboxedShell())
                       : HookCore::tooLargeAnswer(adapter);
    } catch (const std::exception& error) {
        answer = HookCore::failedAnswer(adapter, error.what());
    }
    const std::string text = HookCore::answerText(answer) + "\n";
    disarmDeadline();
    writeAll(text);
    return exitAnswered;
}

}  // namespace vardex::engine
