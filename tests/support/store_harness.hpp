#pragma once

#include <memory>

#include "store/vardex_store.hpp"
#include "support/case_name.hpp"
#include "support/manual_queue.hpp"
#include "support/scoped_env.hpp"
#include "support/store_fakes.hpp"
#include "support/temp_home.hpp"

namespace vardex::testing {

// A store in a temporary HOME with the fake ports, virtual time and no service manager: the
// daemon would be started as a direct child, and VARDEX_BIN points nowhere until a test writes
// a fake engine. Environment switches a test needs are set before `make()`.
class StoreHarness {
public:
    StoreHarness();

    // Builds the store (the constructor's loading runs now).
    VardexStore& make();
    VardexStore& store() { return *store_; }
    std::shared_ptr<VardexStore>& storePointer() { return store_; }
    // A fake engine: a shell script body run for every engine command (see writeScript); it
    // also appends each argument list, one per line with arguments joined by spaces, to
    // engineCalls().
    std::filesystem::path writeEngine(const std::string& body);
    std::vector<std::string> engineCalls() const;

    TempHome home;
    ManualQueue queue;
    InlineBackground background;
    // The background the store gets; a test may point it at another before make().
    Background* storeBackground = &background;
    MemoryPreferences preferences;
    RecordingNotifier notifier;
    RecordingWindowHost windows;
    // The command-file harness, when a test drives the store through one.
    Automation* automation = nullptr;
    StoreOptions options;

private:
    ScopedEnv skipLaunchctl_{"VARDEX_SKIP_LAUNCHCTL", "1"};
    ScopedEnv statusFile_{"VARDEX_STATUS_FILE", std::nullopt};
    ScopedEnv commandFile_{"VARDEX_COMMAND_FILE", std::nullopt};
    ScopedEnv exportFile_{"VARDEX_EXPORT_FILE", std::nullopt};
    ScopedEnv captureDir_{"VARDEX_CAPTURE_DIR", std::nullopt};
    ScopedEnv skipOnboarding_{"VARDEX_SKIP_ONBOARDING", std::nullopt};
    ScopedEnv skipConsent_{"VARDEX_SKIP_CONSENT", std::nullopt};
    ScopedEnv noAutostart_{"VARDEX_NO_AUTOSTART", std::nullopt};
    ScopedEnv openWindows_{"VARDEX_OPEN_WINDOWS", std::nullopt};
    ScopedEnv example_{"VARDEX_V2_EXAMPLE", std::nullopt};
    std::unique_ptr<ScopedEnv> engine_;
    std::shared_ptr<VardexStore> store_;
};

}  // namespace vardex::testing
