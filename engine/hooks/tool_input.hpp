#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"

// Lenient reading of the agents' hook inputs, shared by the adapters. The agents' schemas move
// between versions (a key renamed, a list where a text was), so each reader takes every form
// known and anything else as absent; the adapter then refuses what it needs and cannot find.
namespace vardex::engine::ToolInput {

using Actions = Result<std::vector<Action>, std::string>;

// The member under the first of `keys` that `object` has; null when none (or not an object).
const nlohmann::json* member(const nlohmann::json& object, std::initializer_list<std::string_view> keys);

// The first of `keys` whose member is a text; empty when none is.
std::string text(const nlohmann::json& object, std::initializer_list<std::string_view> keys);

// A shell command line given as a text, or as an argument vector: a shell's own "-c" script
// (["bash", "-lc", "ls"] is "ls"), or else the words quoted as the shell would read them back.
// Nothing for an empty command or any other value.
std::optional<std::string> commandLine(const nlohmann::json* value);

// An MCP tool call; the arguments may be an object, a text holding one, or absent (none).
Actions mcpCall(AgentContext context, std::string server, std::string tool, const nlohmann::json* arguments);

// "mcp__github__create_issue" read with the prefix "mcp__" and the separator "__": the server
// and the tool. Nothing when the name lacks the prefix or either part is empty.
std::optional<std::pair<std::string, std::string>> splitToolName(std::string_view name, std::string_view prefix,
                                                                 std::string_view separator);

// `path` seen from the folder `base` (kept as it is when absolute or when there is no base).
std::string pathFrom(const std::string& base, const std::string& path);

// Every http:// or https:// address in a text, in order.
std::vector<std::string> urlsIn(std::string_view text);

// One action, or none.
Actions just(Action action);
Actions nothing();
// The refusal for a call without what it must say.
Actions missing(std::string_view tool, std::string_view key);

}  // namespace vardex::engine::ToolInput
