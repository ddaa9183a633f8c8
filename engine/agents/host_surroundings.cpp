#include "agents/host_surroundings.hpp"

#include "agents/agent_setup.hpp"
#include "agents/hook_entries.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/user_policy_file.hpp"

namespace vardex::engine {

namespace fs = std::filesystem;

SandboxSurroundings hostSurroundings(const fs::path& workingFolder) {
    SandboxSurroundings s;
    s.home = VardexPaths::homeDirectory();
    s.workingFolder = workingFolder;
    s.searchPath = VardexPaths::env("PATH").value_or("");
    if (auto agent = VardexPaths::env("SSH_AUTH_SOCK")) s.sshAgentSocket = fs::path(*agent);
    if (auto runtime = VardexPaths::env("XDG_RUNTIME_DIR")) s.runtimeFolder = fs::path(*runtime);
    s.daemonSocket = VardexPaths::socketPath();
    const auto layout = VardexPaths::homeLayout();
    s.engineFolders = {layout.support, layout.logs, layout.engineState, layout.userConfig,
                       VardexPaths::supportDirectory(), VardexPaths::auditDirectory(),
                       VardexPaths::userConfigDirectory()};
    for (const auto family : hookFamilies) s.agentSettings.push_back(hookFile(family));
    for (const auto& config : VardexPaths::mcpConfigCandidates()) s.agentSettings.push_back(config);
    for (const auto& rule : UserPolicyFile::loadFromHome().folders()) {
        for (const auto& folder : rule.values) s.protectedPlaces.emplace_back(folder);
    }
    s.settings = loadSandboxSettings(sandboxSettingsFile());
    return s;
}

}  // namespace vardex::engine
