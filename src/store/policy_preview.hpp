#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "bridge/policy_replay.hpp"
#include "policy/user_policy_file.hpp"

namespace vardex {

class VardexStore;

// A change to the user's policy waiting for the user's word, with what it would have decided
// differently over the last days once the engine has said.
struct PolicyPreview {
    // Numbers the previews, so a replay that ends after its preview was replaced is dropped.
    std::uint64_t number = 0;
    // The change, applied to the policy as it stands when the user confirms.
    std::function<void(UserPolicyFile&)> edit;
    // Run after `edit` has been handed to the saver (a form emptied, say).
    std::function<void(VardexStore&)> afterConfirm;
    // The engine is still replaying the log.
    bool running = true;
    std::optional<PolicyReplay> replay;
    // Why there is no replay; the user may still confirm.
    std::optional<std::string> error;

    // What the confirmation says: progress, the engine's failure, "nothing", or each change
    // in outcome on a line of its own with a few of the actions.
    std::string sentence() const;
};

}  // namespace vardex
