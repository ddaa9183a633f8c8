#pragma once

#include <string>
#include <vector>

#include "core/rule.hpp"

namespace vardex::engine {

// Vardex's own places: an agent that changes them is switching protection off.
struct SelfPaths {
    std::vector<std::string> folders;  // absolute, normalised
    std::vector<std::string> files;
};

// The places of this machine's Vardex for the given home folder (policy, activity log and stop
// flag, daemon socket folder, the coding agents' hook files).
SelfPaths selfPaths(const std::string& home);

// The built-in ("embedded") rules, one for each risk story, for a user whose home is `home`.
std::vector<Rule> builtinRules(const std::string& home, const SelfPaths& self);

}  // namespace vardex::engine
