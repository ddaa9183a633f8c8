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

// The same, with a trial that worked remembered in `memory` for this boot and this bwrap (its path
// and modification time): each hook call would otherwise pay for a sandbox that runs nothing. A
// failed trial is not remembered, so a fix counts at once. What the file says only spares the
// trial: a wrong memory makes contained commands fail to start, never run uncontained.
// Where the engine remembers a trial that worked: "sandbox-trial" in its state folder.
std::filesystem::path sandboxTrialFile();

SandboxAvailability rememberedProbe(const std::filesystem::path& memory, const std::string& searchPath);

}  // namespace vardex::engine
