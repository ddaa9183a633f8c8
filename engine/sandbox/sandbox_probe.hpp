#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vardex::engine {

// Whether contained execution works on this machine, found by starting one empty sandbox.
struct SandboxAvailability {
    std::optional<std::filesystem::path> bwrap;  // set only when a trial sandbox ran
    std::string reason;                          // why not, when not
    std::string fix;                             // what the user can do about it

    bool available() const { return bwrap.has_value(); }
};

// VARDEX_BWRAP when set (and nothing when it is not executable); else the first executable "bwrap"
// in `searchPath` (PATH), else in the system's folders.
std::optional<std::filesystem::path> findBwrap(const std::string& searchPath);

// Runs `bwrap` once with the namespaces the sandbox uses around /bin/true; a missing program,
// user namespaces switched off or any other refusal is a reason.
SandboxAvailability probeSandbox(const std::string& searchPath);

}  // namespace vardex::engine
