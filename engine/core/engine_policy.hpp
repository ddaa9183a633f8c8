#pragma once

#include <string>

#include "common/result.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// Everything the engine decides with: the built-in rules plus the user's policy file.
struct EnginePolicy {
    int askTimeoutSeconds = 30;
    double askThreshold = 0.7;
    Outcome unmatched = Outcome::allow;
    Outcome onTimeout = Outcome::deny;
    Outcome onNoUi = Outcome::deny;
    // The rule tables follow.
};

// Built-in rules plus the user's policy file (an absent file is the empty user layer). Fails with
// a sentence naming the file when it cannot be read as a policy.
Result<EnginePolicy, std::string> loadEnginePolicy();

}  // namespace vardex::engine
