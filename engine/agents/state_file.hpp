#pragma once

#include <filesystem>

#include <nlohmann/json.hpp>

#include "agents/agent_config_error.hpp"
#include "common/result.hpp"

namespace vardex::engine {

// The engine's own small JSON files in the user configuration folder. A missing, unreadable
// or malformed file reads as an empty object, so a damaged file never stops a command; writes
// replace the file whole and atomically, creating its folder.
nlohmann::json readStateObject(const std::filesystem::path& file);
Result<void, AgentConfigError> writeStateObject(const std::filesystem::path& file, const nlohmann::json& object);

// Holds an exclusive lock on "agents.lock" in the user configuration folder for its lifetime,
// so that the app's periodic connect scan and a command typed by the user never edit the same
// files at once. When the lock cannot be had the command goes on without it.
class AgentFilesLock {
public:
    AgentFilesLock();
    AgentFilesLock(const AgentFilesLock&) = delete;
    AgentFilesLock& operator=(const AgentFilesLock&) = delete;
    ~AgentFilesLock();

private:
    int fd_ = -1;
};

}  // namespace vardex::engine
