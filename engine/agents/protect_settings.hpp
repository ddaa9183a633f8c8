#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "agents/agent_config_error.hpp"
#include "bridge/protect_app_row.hpp"
#include "common/result.hpp"

// Which known coding agents the engine protects. The agents are the app's built-in catalogue;
// the user's switches are kept in "protect.json" in the user configuration folder as an object
// of id to boolean, holding only the agents switched away from the default (protected).
namespace vardex::engine::ProtectSettings {

std::filesystem::path location();

// The catalogue with the user's switches applied, in catalogue order.
std::vector<ProtectAppRow> rows();

// Whether the agent with this id is protected; nothing for an id outside the catalogue.
std::optional<bool> isProtected(std::string_view id);

// Switches one agent; the id must be one of the catalogue's (the caller checks).
Result<void, AgentConfigError> set(std::string_view id, bool on);

}  // namespace vardex::engine::ProtectSettings
