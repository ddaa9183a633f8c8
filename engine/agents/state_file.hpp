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

}  // namespace vardex::engine
