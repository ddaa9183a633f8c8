#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "common/result.hpp"
#include "core/engine_policy.hpp"

namespace vardex::engine {

// The policy the daemon decides with, re-read when the user's policy file changes (the app
// edits it while the daemon runs). A file that no longer reads keeps the last good policy.
class PolicyWatch {
public:
    explicit PolicyWatch(std::filesystem::path userPolicyFile);

    // The first load; the daemon does not start on a policy it cannot read.
    Result<void, std::string> load();

    // Re-reads the policy when the file's modification time, size or existence changed since
    // the last look. Returns the sentence of a failed re-read (once per change of the file).
    std::optional<std::string> refresh();

    const EnginePolicy& current() const { return policy_; }

private:
    struct Stamp {
        bool exists = false;
        std::filesystem::file_time_type modified{};
        std::uintmax_t size = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    Stamp stamp() const;

    std::filesystem::path file_;
    EnginePolicy policy_;
    Stamp seen_;
};

}  // namespace vardex::engine
