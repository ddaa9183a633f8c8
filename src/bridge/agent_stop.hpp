#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/result.hpp"

namespace vardex {

// A coding agent found among the user's processes.
struct AgentProcess {
    std::int32_t pid = 0;
    // The last path component of the process's command.
    std::string name;

    friend bool operator==(const AgentProcess&, const AgentProcess&) = default;
};

struct AgentStopError {
    std::filesystem::path path;
    std::error_code code;

    std::string description() const;
    friend bool operator==(const AgentStopError&, const AgentStopError&) = default;
};

// The emergency stop. The flag file beside the activity log tells the engine to block every
// new action until it is removed; the app only writes, removes and reads it. Closing running
// agents asks each command-line coding agent of the user to terminate.
namespace AgentStop {

inline constexpr std::string_view flagName = "agents.stopped";
// The command names of the agents closed by `terminate` (exact, case-sensitive).
inline constexpr std::string_view agentProcessNames[] = {"claude", "codex", "cursor-agent", "gemini"};

// The flag in the engine's state folder.
std::filesystem::path flagURL();

bool isStopped(const std::filesystem::path& flag);
// Writes "stopped <UTC time>Z" and a line feed, whole; only the file's existence matters.
Result<void, AgentStopError> stop(const std::filesystem::path& flag, std::chrono::system_clock::time_point now);
// No flag is not an error.
Result<void, AgentStopError> resume(const std::filesystem::path& flag);

// The agents among every process on the system, from "/bin/ps"; empty when it cannot run.
std::vector<AgentProcess> runningAgents();
// Reads "pid command" lines; pid 1, the app's own pid and anything that is not an agent are
// left out.
std::vector<AgentProcess> parse(std::string_view ps, std::int32_t ownPid);
// Sends SIGTERM to each in order and counts the sends that succeeded; waits for none. Ids
// below 2 are skipped: to kill() they name a group, every process, or init.
int terminate(const std::vector<AgentProcess>& processes);

}  // namespace AgentStop

}  // namespace vardex
