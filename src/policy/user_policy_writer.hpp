#pragma once

#include "bridge/vardex_cli.hpp"
#include "common/result.hpp"
#include "policy/policy_write_error.hpp"
#include "policy/user_policy_file.hpp"

// Saves the user's policy and has the engine check it before it counts.
namespace vardex::UserPolicyWriter {

// Writes the policy file, then runs the engine's "rules validate" on it. When the engine refuses
// the file or cannot be started, the previous file is put back byte for byte (or the new one
// removed when there was none) and the error says why. With no engine installed the file is
// saved unchecked. Blocks until the engine has finished or `timeLimit` has passed (which counts
// as an engine that could not be run).
Result<void, PolicyWriteError> save(const UserPolicyFile& policy,
                                    std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

}  // namespace vardex::UserPolicyWriter
