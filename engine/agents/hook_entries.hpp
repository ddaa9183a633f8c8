#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "agents/agent_config_error.hpp"
#include "bridge/agent_install_status.hpp"
#include "common/result.hpp"
#include "hooks/hook_adapter.hpp"

// The engine's hook entries in the coding agents' own hook files. Claude Code, Codex and Gemini
// CLI list groups of a matcher and its commands under each event; Cursor lists commands per
// event. All functions here work on the file's text and touch no file; what they add or take
// away is the engine's entries alone, every other byte of the text stays as it was.
namespace vardex::engine {

// The families with a hook file; `mcp` is not one of them.
using HookFamily = AgentInstallRow::Kind;

inline constexpr HookFamily hookFamilies[] = {HookFamily::cursor, HookFamily::claude, HookFamily::codex,
                                              HookFamily::gemini};

// How one family's hook file holds the engine's command.
struct HookFileFormat {
    std::vector<std::string_view> events;
    // Whether each event lists groups of a matcher and its commands, rather than commands.
    bool grouped = true;
    std::string_view matcher;
    // The entry's time-out in the agent's own unit; nothing for an agent that takes none.
    std::optional<int> timeout;
};

const HookFileFormat& hookFileFormat(HookFamily family);

// The events of the family's hook file that carry the engine's command.
const std::vector<std::string_view>& hookEvents(HookFamily family);

// The adapter that answers the family's calls (`vardex hook <family>`).
const HookAdapter& hookAdapterOf(HookFamily family);

// The command the engine installs:
//   out=$(<program> hook <family>) && printf '%s\n' "$out" || { printf '%s\n' '<deny>'; exit 2; }
// The engine's answer is passed on only when the engine ended well. When it fails in any way
// (missing, crashed, killed) whatever it printed is dropped, and the agent reads a denial in
// its own format and the status 2 that blocks, whichever of the two it heeds.
std::string hookCommand(const std::filesystem::path& program, HookFamily family);

// An engine hook command found in a hook file.
struct InstalledHook {
    std::string command;
    std::string program;
    // Exactly what this engine installs; an older form (without the denial on failure, or
    // an older denial) is still the engine's, to be replaced on the next install.
    bool current = false;
};

// `command` when it is the engine's hook for `family`: a program named "vardex", wherever it
// lies, run as "hook <family>" in the installed form, or in one an older engine installed
// ("<program> hook <family>" with nothing or "|| exit 2" after it). Nothing otherwise, so the
// user's own hooks are never taken for the engine's.
std::optional<InstalledHook> installedHook(std::string_view command, HookFamily family);

// The text with `command` registered for every event of the family, any earlier engine hook of
// the family replaced. An absent text is a new file.
Result<std::string, ConfigProblem> withHook(const std::optional<std::string>& text, HookFamily family,
                                            const std::string& command);

// The text without the engine's hooks for the family, with the lists and groups that held only
// them removed too; nothing when there were none (a file that is not JSON holds none).
std::optional<std::string> withoutHook(const std::string& text, HookFamily family);

// The engine's hooks in the text, the first of each event that has one.
std::vector<InstalledHook> installedHooks(const std::string& text, HookFamily family);

}  // namespace vardex::engine
