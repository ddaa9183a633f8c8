#pragma once

#include <filesystem>
#include <functional>

#include "hooks/hook_core.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "sandbox/sandbox_settings.hpp"

namespace vardex::engine {

// Allowed shell commands run through `vardex` (the engine at `vardex`) sandbox where bubblewrap
// works. Where it does not they run as they are, unless the settings require containment; then
// they are refused with the reason and the fix. `probe` runs at most once, and only when a shell
// command was allowed.
HookCore::CommandRewrite sandboxRewrite(const std::filesystem::path& vardex, const SandboxSettings& settings,
                                        std::function<SandboxAvailability()> probe);

}  // namespace vardex::engine
