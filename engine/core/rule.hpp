#pragma once

#include <functional>
#include <string>

#include "protocol/decision.hpp"

namespace vardex::engine {

struct ActionFacts;

// One rule the engine enforces. The matcher looks at the facts drawn from an action (every
// command of a shell line, every path and site it names), never at the raw action itself, so
// a rule sees `cd x && rm -rf ~` the same way it sees `rm -rf ~`.
struct Rule {
    std::string id;
    std::string description;
    Severity severity = Severity::medium;
    Outcome decision = Outcome::deny;
    std::string layer = "embedded";  // "embedded" for built-ins, "user" for policy.yaml
    std::string source;              // where the rule came from: "built-in" or the file
    std::string reasonUser;          // a plain sentence for the person
    std::string reasonAgent;         // what the agent should do instead
    std::function<bool(const ActionFacts&)> matches;
    // When set, the outcome for an action the rule matched (a rule may ask about the doubtful
    // forms of its story and block the plain ones); otherwise `decision`, which is the
    // outcome the listing shows.
    std::function<Outcome(const ActionFacts&)> decides;

    // A rule that ships with the engine; `instead` tells the agent what to do instead.
    static Rule builtIn(std::string id, std::string description, Severity severity, Outcome decision,
                        std::string reasonUser, std::string instead, std::function<bool(const ActionFacts&)> matches);
};

// The risk a rule of this severity carries, in 0..1.
double severityRisk(Severity severity);

}  // namespace vardex::engine
