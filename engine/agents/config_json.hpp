#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "agents/agent_config_error.hpp"
#include "common/result.hpp"

namespace vardex::engine {

// Agents' configuration files keep their members in the user's order, so edits do too.
using OrderedJson = nlohmann::ordered_json;

// The top-level object of a configuration file. An absent or blank file is an empty object, as
// the agents themselves read it.
Result<OrderedJson, ConfigProblem> parseConfigObject(const std::optional<std::string>& text);

// The form every edited file is written in: two-space indent and a final line feed.
std::string configText(const OrderedJson& object);

}  // namespace vardex::engine
