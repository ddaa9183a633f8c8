#pragma once

#include <string_view>

#include "core/engine_policy.hpp"
#include "protocol/action.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// The rule id of the decision taken while every agent is stopped.
inline constexpr std::string_view stopRuleId = "self.agents_stopped";

// The engine's verdict on one action: the most restrictive matching rule wins (deny, then ask,
// then allow; the first rule with that outcome names the decision) and every matching rule is
// listed; an action no rule matches gets the policy's `unmatched` outcome. While the agent stop
// flag is set every action is denied.
Decision evaluate(const Action& action, const EnginePolicy& policy);

}  // namespace vardex::engine
