#pragma once

#include "hooks/hook_adapter.hpp"

namespace vardex::engine {

// `vardex hook <agent>` as a process: reads the call on standard input (refusing more than the
// core's limit), asks the daemon, prints the agent's answer on standard output and returns the
// exit status. At its own deadline, whatever it is waiting on, it prints a deny and ends.
int runHookProcess(const HookAdapter& adapter);

}  // namespace vardex::engine
