#pragma once

#include <array>
#include <string_view>

#include "hooks/hook_adapter.hpp"

// The agents whose pre-tool hooks the engine answers, one adapter each.
namespace vardex::engine {

// Claude Code's PreToolUse hook: Bash, the file tools, WebFetch and MCP tools.
extern const HookAdapter claudeHook;
// Cursor's beforeShellExecution, beforeReadFile and beforeMCPExecution hooks.
extern const HookAdapter cursorHook;
// Codex's PreToolUse hook: its shell, apply_patch and MCP tools.
extern const HookAdapter codexHook;
// Gemini CLI's BeforeTool hook, which has no "ask": the hook waits for the person's answer.
extern const HookAdapter geminiHook;

inline const std::array<const HookAdapter*, 4>& agentHooks() {
    static const std::array<const HookAdapter*, 4> all{&claudeHook, &cursorHook, &codexHook, &geminiHook};
    return all;
}

// The adapter `vardex hook <name>` runs; null for a name no agent has.
inline const HookAdapter* agentHook(std::string_view name) {
    for (const auto* hook : agentHooks()) {
        if (hook->name == name) return hook;
    }
    return nullptr;
}

}  // namespace vardex::engine
