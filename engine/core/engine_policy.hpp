#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "core/rule.hpp"
#include "policy/user_policy_file.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// A rule the user switched off in policy.yaml, as the listing shows it.
struct DisabledRule {
    std::string id;
    std::string layer = "user";
    std::string source;
};

// Everything the engine decides with: the built-in rules plus the user's policy file.
struct EnginePolicy {
    int askTimeoutSeconds = 30;
    double askThreshold = 0.7;
    Outcome unmatched = Outcome::allow;
    Outcome onTimeout = Outcome::deny;
    Outcome onNoUi = Outcome::deny;
    // The rules in force, built-ins first, then the user's, in file order.
    std::vector<Rule> rules;
    // Switched off through the policy's disable list (critical built-ins stay on unless the
    // policy allows overriding them).
    std::vector<DisabledRule> disabled;
    // While this file exists every action is denied; empty means no stop flag is watched.
    std::filesystem::path stopFlag;
    // The home folder the rules were built for: "~" and $HOME in commands expand to it.
    std::string home;
};

// Built-in rules plus the user's policy file (an absent file is the empty user layer). Fails with
// a sentence naming the file when it cannot be read as a policy.
Result<EnginePolicy, std::string> loadEnginePolicy();

// The policy for a given home folder and user layer, without touching the disk; `source` names
// the user file in the listing.
EnginePolicy makeEnginePolicy(const std::string& home, const UserPolicyFile& user, const std::string& source);

}  // namespace vardex::engine
