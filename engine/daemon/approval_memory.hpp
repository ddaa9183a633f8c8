#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "common/result.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// The answers that outlive one question. "Allow for this session" lets the same action (the
// same normalised command in the same working folder) through for the rest of that agent
// session, never a whole rule, and never anything run with administrator rights; "always
// allow" lets that exact action through from now on and is kept in a small JSON file, written
// whole and atomically.
class ApprovalMemory {
public:
    static constexpr const char* fileName = "always-allow.json";

    explicit ApprovalMemory(std::filesystem::path alwaysAllowFile);

    // Reads the kept actions. A file that cannot be read as such is moved aside (so a later
    // save does not destroy it) and reported in the returned sentence; no file is no list.
    std::optional<std::string> load();

    // The earlier answer that settles this question, if any.
    std::optional<ApprovalVerdict> remembered(const Action& action, const Decision& decision) const;

    // Keeps `verdict` when it outlives the question; a failure to save is reported and the
    // answer is still remembered for the life of the daemon.
    Result<void, std::string> remember(const Action& action, const Decision& decision, ApprovalVerdict verdict);

    const std::filesystem::path& file() const { return file_; }

private:
    Result<void, std::string> save() const;

    std::filesystem::path file_;
    std::set<std::string> always_;
    // (agent and session, exact action and working folder)
    std::set<std::pair<std::string, std::string>> session_;
};

}  // namespace vardex::engine
