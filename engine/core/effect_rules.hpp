#pragma once

#include <string>
#include <vector>

#include "core/rule.hpp"

namespace vardex::engine {

// The built-in rules about what a command does to the machine, its accounts and the user's
// other programs beyond the files it names: containers reaching the host, account and group
// changes, shims and Python start-up files, volume tools and machine stops, the project and its
// history, remote accounts and infrastructure, passwords in arguments, other processes'
// environment.
std::vector<Rule> effectRules(const std::string& home);

}  // namespace vardex::engine
