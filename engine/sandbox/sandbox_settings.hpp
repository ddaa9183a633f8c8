#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"

namespace vardex::engine {

// The switches of contained execution. They live in the engine's own file beside the policy,
// so the user's policy file keeps exactly its documented keys.
struct SandboxSettings {
    bool network = true;   // agents fetch packages
    bool sshAgent = true;  // git over SSH signs through the user's agent, never with a key file
    bool required = false;  // without a sandbox, allowed shell commands are denied
    // Writable places beyond the usual build caches; "~/" stands for the home folder.
    std::vector<std::string> writable;

    friend bool operator==(const SandboxSettings&, const SandboxSettings&) = default;
};

// A member that is missing or of the wrong type keeps its default, so a damaged file still
// leaves the sandbox on.
SandboxSettings sandboxSettingsFrom(const nlohmann::json& object);
nlohmann::json toJson(const SandboxSettings& settings);

// "sandbox.json" in the user configuration folder.
std::filesystem::path sandboxSettingsFile();
// The defaults when the file is missing or unreadable.
SandboxSettings loadSandboxSettings(const std::filesystem::path& file);
// Replaces the file whole (a temporary file renamed over it), creating its folder.
Result<void, std::string> saveSandboxSettings(const std::filesystem::path& file, const SandboxSettings& settings);

}  // namespace vardex::engine
