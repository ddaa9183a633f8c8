#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// What the engine answers one tool call, before it is put in an agent's words.
struct HookVerdict {
    bool allowed = false;
    // Why, for the person at the agent and for the agent itself (a denial says what to do
    // instead).
    std::string forUser;
    std::string forAgent;
    // The tool input the agent runs instead of its own (a rewritten command); allowed calls only.
    std::optional<nlohmann::json> updatedInput;

    static HookVerdict blocked(const std::string& why) { return {false, why, why, std::nullopt}; }
};

// One coding agent's pre-tool hook: how its input becomes the engine's actions and how a verdict
// becomes its answer. Everything else (reading the input, the deadline, asking the daemon,
// failing closed) is the hook core's and the same for every agent.
struct HookAdapter {
    // The word after `vardex hook`, the same as the agent's family in its hook file.
    std::string_view name;
    AgentKind agent;
    std::string_view description;
    // The actions the call would take, in order; empty when it touches nothing Vardex guards.
    // Fails with a sentence when the input is not a call this agent makes.
    Result<std::vector<Action>, std::string> (*actionsFor)(const nlohmann::json& input);
    // The agent's answer, exactly as it reads one on standard output.
    nlohmann::json (*answer)(const HookVerdict& verdict);
    // The call's tool input with its shell command replaced; null for an agent that cannot take
    // a rewritten input.
    std::optional<nlohmann::json> (*withCommand)(const nlohmann::json& input, const std::string& command);
    // The decision an answer in this agent's format carries; nothing for any other output.
    std::optional<Outcome> (*decisionIn)(const nlohmann::json& output);
    // A call that does no harm whatever the answer, for trying out an installed hook.
    std::string_view probeInput;
};

}  // namespace vardex::engine
