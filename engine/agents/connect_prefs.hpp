#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "agents/agent_config_error.hpp"
#include "common/result.hpp"

namespace vardex::engine {

// The engine's auto-connect preferences, "auto-connect.json" in the user configuration folder.
// The app reads "auto_protect_new" from the same file.
struct ConnectPrefs {
    // Newly found agents are connected by the periodic `connect` scan.
    bool autoProtectNew = true;
    bool consented = false;
    // Families the user disconnected or removed; the scan leaves them alone until they are
    // installed again by hand.
    std::vector<std::string> disconnected;

    static std::filesystem::path location();
    static ConnectPrefs load();
    // Members of the file this engine does not know are kept.
    Result<void, AgentConfigError> save() const;

    bool isDisconnected(std::string_view family) const;
    void markDisconnected(std::string_view family);
    void markConnected(std::string_view family);
};

}  // namespace vardex::engine
