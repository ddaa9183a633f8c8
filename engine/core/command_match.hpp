#pragma once

#include <initializer_list>
#include <string_view>

#include "core/command_facts.hpp"

namespace vardex::engine {

// True when the blank-separated operand words of `words` are among the command's operands in
// that order (global options and their values may come between) and every option word of it
// is among its arguments ("config view --raw").
bool commandStartsWith(const CommandFacts& command, std::string_view words);

// True when any argument equals one of `words`, or is one of the options given as "--name"
// followed by "=value".
bool hasAnyArg(const CommandFacts& command, std::initializer_list<std::string_view> words);

bool isOneOf(std::string_view value, std::initializer_list<std::string_view> names);

}  // namespace vardex::engine
