#include "ui/app/automation_hook.hpp"

#include <cstdio>

#include "bridge/vardex_paths.hpp"

// The harness is compiled only into builds made for scripts; this is the one place that knows.
#if VARDEX_AUTOMATION
#include "ui/automation/automation_harness.hpp"
#endif

namespace vardex::ui {

AutomationHook makeAutomationHook([[maybe_unused]] ShellSurfaces& shell) {
#if VARDEX_AUTOMATION
    const auto commandFile = VardexPaths::env("VARDEX_COMMAND_FILE");
    if (!commandFile) return {};
    if (!AutomationHarness::homeIsSafe()) {
        // A script may drive only an app in a home of its own, never the user's real one.
        std::fprintf(stderr, "vardex-bar: VARDEX_COMMAND_FILE is ignored: HOME is the account's own home folder.\n");
        return {};
    }
    std::optional<std::filesystem::path> captureDir;
    if (const auto dir = VardexPaths::env("VARDEX_CAPTURE_DIR")) captureDir = std::filesystem::path(*dir);
    auto harness = std::make_unique<AutomationHarness>(std::filesystem::path(*commandFile), captureDir, shell);
    auto* raw = harness.get();
    return {std::move(harness), [raw](VardexStore& store, StoreWatcher& watcher) { raw->attach(store, watcher); }};
#else
    return {};
#endif
}

}  // namespace vardex::ui
