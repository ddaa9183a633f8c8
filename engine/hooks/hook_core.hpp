#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "hooks/hook_adapter.hpp"

// The one hook every agent runs: its input becomes the engine's actions, the daemon decides
// each of them (a question goes to the person through the app, and the hook waits), and the
// verdict goes back in the agent's own words. Anything short of the daemon's decision blocks.
namespace vardex::engine::HookCore {

// The hook never runs longer than this, whatever the policy's ask time-out: at this point it
// prints a deny and ends, so the agent always hears from the engine first.
inline constexpr int longestWaitSeconds = 270;
// Larger inputs are refused unread; the daemon would not take such an action either.
inline constexpr std::size_t maxInputBytes = 8 * 1024 * 1024;
// A call made of more parts than this (a patch of many files) is refused rather than asked
// about part by part.
inline constexpr std::size_t maxActionsPerCall = 64;

// How long this run of the hook may take: the agent's usual wait for the daemon, never more
// than `longestWaitSeconds`, and shorter when `shorter` (VARDEX_HOOK_SECONDS) asks for it.
double deadlineSeconds(double agentWait, const std::optional<std::string>& shorter);

// How an allowed shell command is to run: inside a sandbox (the command line that does so), or as
// it is. A command that cannot be contained, where containment is required, is refused instead.
struct ShellRoute {
    std::optional<std::string> contained;
    bool mayRunUncontained = true;
    std::string whyNot;  // the refusal, for the person and the agent
};

// Asked about every allowed shell action of a call; only agents whose hooks take a rewritten tool
// input can have a single command contained.
using CommandRewrite = std::function<ShellRoute(const Action& allowedShell)>;

// The verdict on one call. `input` is the agent's input as parsed (discarded when it was not
// JSON).
HookVerdict decide(const HookAdapter& adapter, const nlohmann::json& input, const std::string& socketPath,
                   double waitSeconds, const CommandRewrite& rewrite = {});

// The whole hook on the input's text: the agent's answer.
nlohmann::json run(const HookAdapter& adapter, const std::string& inputText, const std::string& socketPath,
                   double waitSeconds, const CommandRewrite& rewrite = {});

// An answer as the hook prints it: one line of JSON (without its line feed), any invalid UTF-8
// from the input replaced.
std::string answerText(const nlohmann::json& answer);

// The answers the hook gives when it cannot get a decision, in the agent's words.
nlohmann::json tooLargeAnswer(const HookAdapter& adapter);
nlohmann::json lateAnswer(const HookAdapter& adapter);
nlohmann::json failedAnswer(const HookAdapter& adapter, const std::string& why);
// What the installed hook command prints when the engine itself fails (missing, crashed,
// killed), one line of JSON without a single quote, so the shell can hold it in one.
std::string engineFailedLine(const HookAdapter& adapter);

}  // namespace vardex::engine::HookCore
