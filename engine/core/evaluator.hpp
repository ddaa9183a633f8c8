#pragma once

#include "core/engine_policy.hpp"
#include "protocol/action.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// The engine's verdict on one action: the most restrictive matching rule wins; while the agent
// stop flag is set every action is denied.
Decision evaluate(const Action& action, const EnginePolicy& policy);

}  // namespace vardex::engine
