#pragma once

#include <filesystem>

#include "sandbox/sandbox_surroundings.hpp"

namespace vardex::engine {

// What this process finds around it to plan a sandbox from: the environment, the engine's own
// folders, every agent's hook and tool-server files, the policy's protected folders and the
// sandbox settings.
SandboxSurroundings hostSurroundings(const std::filesystem::path& workingFolder);

}  // namespace vardex::engine
