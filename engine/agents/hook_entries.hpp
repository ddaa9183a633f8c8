#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agents/agent_config_error.hpp"
#include "bridge/agent_install_status.hpp"
#include "common/result.hpp"

// The engine's hook entries in the coding agents' own hook files. Claude Code and Codex list
// "PreToolUse" groups, each a matcher and its commands; Cursor lists commands per event. All
// functions here work on the file's text and touch no file.
namespace vardex::engine {

// The three families with a hook file; `mcp` is not one of them.
using HookFamily = AgentInstallRow::Kind;

inline constexpr std::string_view claudeMatcherForEveryTool = "*";

// The events of the family's hook file that carry the engine's command.
std::vector<std::string_view> hookEvents(HookFamily family);

// The agents block a call whose hook exits with status 2 and let it through on most other
// failures, so the installed command turns any failure of the engine (a crash, a missing
// program, a kill) into that status.
inline constexpr std::string_view failClosedSuffix = "|| exit 2";

// The time-out, in seconds, written into a Claude Code or Codex hook entry. The engine gives up
// (with a block) well before it, so the agent never ends the hook itself.
inline constexpr int hookTimeoutSeconds = 300;

// "<program> hook <family> || exit 2", the program quoted for the shell when its path needs it.
std::string hookCommand(const std::filesystem::path& program, HookFamily family);

// The program run by `command` when it is the engine's hook for `family`: a program named
// "vardex", wherever it lies, followed by exactly "hook", the family and, when present, the
// fail-closed tail. Nothing otherwise, so the user's own hooks are never taken for the
// engine's.
std::optional<std::string> hookProgram(std::string_view command, HookFamily family);

// The text with `command` registered for every event of the family, any earlier engine hook of
// the family replaced. An absent text is a new file.
Result<std::string, ConfigProblem> withHook(const std::optional<std::string>& text, HookFamily family,
                                            const std::string& command);

// The text without the engine's hooks for the family, with the lists and groups that held only
// them removed too; nothing when there were none (a file that is not JSON holds none).
std::optional<std::string> withoutHook(const std::string& text, HookFamily family);

// The programs of the engine's hooks in the text, one for each event that has one.
std::vector<std::string> hookPrograms(const std::string& text, HookFamily family);

}  // namespace vardex::engine
