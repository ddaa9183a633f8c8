#pragma once

#include <optional>
#include <string>

#include "hooks/hook_adapter.hpp"

namespace vardex::engine {

// Runs an installed hook command once, the way its agent runs it (by the shell, with the call
// on standard input), with the adapter's harmless call and a short time limit. The command is
// pointed at a daemon socket that cannot exist, so it asks nobody and logs nothing; a working
// hook then answers with a denial in the agent's format, as the engine itself. Nothing when it
// did; otherwise what it did instead, as the end of a sentence ("ended with status 2").
std::optional<std::string> probeProblem(const std::string& command, const HookAdapter& adapter);

}  // namespace vardex::engine
