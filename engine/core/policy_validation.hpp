#pragma once

#include <string>
#include <string_view>

#include "common/result.hpp"
#include "policy/user_policy_file.hpp"

namespace vardex::engine {

// Reads a user policy as real YAML and checks every member the engine uses: the version, the
// override switch, the two defaults (a whole number of seconds, a threshold in 0..1), the
// disable list and each rule (id, severity, decision, a match block). On success the policy as
// the engine will use it; otherwise one sentence beginning with `name` and, where known, the
// line.
Result<UserPolicyFile, std::string> validateUserPolicy(std::string_view text, const std::string& name);

}  // namespace vardex::engine
