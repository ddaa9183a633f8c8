#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/sandbox_plan.hpp"
#include "sandbox/sandbox_settings.hpp"

namespace vardex::engine {

// Everything the sandbox is planned from, as the caller found it: the environment, the engine's
// own places and the user's settings. Only the file system's answer to "does it exist" is read
// while planning.
struct SandboxSurroundings {
    std::filesystem::path home;
    std::filesystem::path workingFolder;
    std::string searchPath;  // PATH
    std::optional<std::filesystem::path> sshAgentSocket;
    std::optional<std::filesystem::path> runtimeFolder;  // XDG_RUNTIME_DIR: session bus, Wayland, keyring
    std::filesystem::path daemonSocket;
    std::vector<std::filesystem::path> engineFolders;  // policy, activity log, app settings
    std::vector<std::filesystem::path> agentSettings;  // hook and tool-server files of every agent
    std::vector<std::filesystem::path> protectedPlaces;  // the policy's protected folders
    // The contained program's own files (an MCP server's program and scripts), absolute.
    std::vector<std::filesystem::path> programFiles;
    SandboxSettings settings;
};

// The git top level of the working folder (the nearest folder holding ".git"), else the folder.
std::filesystem::path projectFolder(const std::filesystem::path& workingFolder);

// The writable project, /tmp and build caches; the secret catalogue's places that exist masked;
// the places a command could use to run code later or outside (start-up files, hooks, the engine's
// own files) read-only; the desktop's and the daemon's sockets hidden. A project that is the home
// folder or above it is not writable: `rm -rf ~` must fail there too. The program's own package
// folders are readable even inside a protected folder, never inside a secret of the catalogue.
SandboxPlan planSandbox(const SandboxSurroundings& surroundings);

}  // namespace vardex::engine
