#pragma once

#include <filesystem>
#include <string_view>

#include "support/scoped_env.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {

// A fresh temporary folder set as HOME, with VARDEX_STATE_DIR, VARDEX_SOCK, VARDEX_BIN and the
// XDG state and configuration variables unset and the runtime folder inside it, so every location
// the app derives lies inside it. All is put back afterwards.
class TempHome {
public:
    const std::filesystem::path& path() const { return folder_.path(); }
    std::filesystem::path operator/(std::string_view name) const { return folder_ / name; }

private:
    TempFolder folder_;
    ScopedEnv home_{"HOME", folder_.path().string()};
    ScopedEnv state_{"VARDEX_STATE_DIR", std::nullopt};
    ScopedEnv socket_{"VARDEX_SOCK", std::nullopt};
    ScopedEnv binary_{"VARDEX_BIN", std::nullopt};
    ScopedEnv xdgState_{"XDG_STATE_HOME", std::nullopt};
    ScopedEnv xdgConfig_{"XDG_CONFIG_HOME", std::nullopt};
    ScopedEnv xdgRuntime_{"XDG_RUNTIME_DIR", (folder_ / "run").string()};
};

}  // namespace vardex::testing
