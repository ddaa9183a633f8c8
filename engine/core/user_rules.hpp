#pragma once

#include <string>
#include <vector>

#include "core/rule.hpp"
#include "policy/user_policy_file.hpp"

namespace vardex::engine {

// The user's own rules from policy.yaml: protected folders deny any file action or command
// argument under them, protected sites deny requests and commands naming the domain, custom
// rules match a program, paths or raw text. `source` names the file in the listing.
std::vector<Rule> userRules(const UserPolicyFile& policy, const std::string& home, const std::string& source);

}  // namespace vardex::engine
