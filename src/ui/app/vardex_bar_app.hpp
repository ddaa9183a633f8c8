#pragma once

#include <memory>

#include "ui/app/app_surfaces.hpp"
#include "ui/app/automation_hook.hpp"
#include "ui/helper/helper_model.hpp"
#include "ui/ports/pool_background.hpp"
#include "ui/ports/qt_main_queue.hpp"
#include "ui/ports/qt_window_host.hpp"
#include "ui/ports/settings_preferences.hpp"

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

class ApprovalOpener;
class ColorSchemeFollower;
class DbusNotifier;
class MenuBarStatus;
class StoreWatcher;
struct ScreenContext;

// The app: builds the ports, the one store and the shell around it (tray item, popover,
// approval window), then starts the store. Everything is built here and passed by reference.
class VardexBarApp final {
public:
    VardexBarApp();
    ~VardexBarApp();
    VardexBarApp(const VardexBarApp&) = delete;
    VardexBarApp& operator=(const VardexBarApp&) = delete;

    VardexStore& store() const { return *store_; }
    MenuBarStatus& status() const { return *status_; }
    QtWindowHost& windows() { return windows_; }

private:
    QtMainQueue queue_;
    PoolBackground background_;
    SettingsPreferences preferences_;
    std::unique_ptr<DbusNotifier> notifier_;
    QtWindowHost windows_;
    AppSurfaces surfaces_{windows_};
    AutomationHook automation_;
    NoHelperModel helperModel_;
    std::shared_ptr<VardexStore> store_;
    std::unique_ptr<StoreWatcher> watcher_;
    std::unique_ptr<ScreenContext> context_;
    std::unique_ptr<ColorSchemeFollower> colorScheme_;
    std::unique_ptr<ApprovalOpener> opener_;
    std::unique_ptr<MenuBarStatus> status_;
};

}  // namespace vardex::ui
