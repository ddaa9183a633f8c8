#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"

namespace vardex::engine {

// Claude Code's PreToolUse hook: the tool call it is about to make arrives as JSON on standard
// input, and the hook answers allow or deny as JSON on standard output.
namespace ClaudeHook {

// The action a hook input describes: Bash runs a shell command; Read, Grep, Glob and LS read
// a path; Write, Edit, MultiEdit and NotebookEdit write one; WebFetch fetches a URL;
// "mcp__SERVER__TOOL" calls an MCP tool with the input as its arguments. Absent for a tool
// that touches nothing Vardex guards (a to-do list, a sub-agent). Fails with a sentence when
// the input is not a hook input.
Result<std::optional<Action>, std::string> actionFor(const nlohmann::json& input);

// {"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":...,
// "permissionDecisionReason":...}}
nlohmann::json output(bool allowed, const std::string& reason);

// The answer for a decision: a denial tells the agent what to do instead, an allowance tells
// the person why.
nlohmann::json outputFor(const DecisionEvent& decision);

// The hook never runs longer than this, whatever the policy's ask time-out: at this point it
// prints a deny and ends, so the agent always hears from the engine first.
inline constexpr int longestWaitSeconds = 270;
// Larger inputs are refused unread; the daemon would not take such an action either.
inline constexpr std::size_t maxInputBytes = 8 * 1024 * 1024;

// How long this run of the hook may take: the agent's usual wait for the daemon, never more
// than `longestWaitSeconds`, and shorter when `shorter` (VARDEX_HOOK_SECONDS) asks for it.
double deadlineSeconds(double agentWait, const std::optional<std::string>& shorter);

// The whole hook: reads the input text, asks the daemon at `socketPath`, and returns the
// output. Anything short of a decision from the daemon denies (fails closed).
nlohmann::json run(const std::string& inputText, const std::string& socketPath, double waitSeconds);

}  // namespace ClaudeHook

}  // namespace vardex::engine
