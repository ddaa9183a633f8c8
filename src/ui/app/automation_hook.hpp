#pragma once

#include <functional>
#include <memory>

#include "store/automation.hpp"

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

class ShellSurfaces;
class StoreWatcher;

// The command-file harness when this run is driven by a script: a build made for scripts, a
// command file named by VARDEX_COMMAND_FILE, and a HOME that is not the account's own.
// Otherwise both members are empty.
struct AutomationHook {
    std::unique_ptr<Automation> port;
    // Hands the store, and the watcher the screens redraw by, to the harness once they exist.
    std::function<void(VardexStore&, StoreWatcher&)> attach;
};

AutomationHook makeAutomationHook(ShellSurfaces& shell);

}  // namespace vardex::ui
