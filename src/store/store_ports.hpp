#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "activity/local_calendar.hpp"
#include "bridge/vardex_cli.hpp"
#include "service/protection_service.hpp"
#include "store/automation.hpp"
#include "store/background.hpp"
#include "store/main_queue.hpp"
#include "store/notifier.hpp"
#include "store/preferences.hpp"
#include "store/window_host.hpp"

namespace vardex {

// The outside world as the store reaches it. Everything is built in `main` (or by a test) and
// outlives the store.
struct StorePorts {
    MainQueue& queue;
    Background& background;
    Preferences& preferences;
    Notifier& notifier;
    WindowHost& windows;
    // The command-file harness, present only in builds and runs made for scripts.
    Automation* automation = nullptr;
};

struct StoreOptions {
    // How the daemon is run as a login service (the service-manager programs can be replaced).
    ServiceOptions service;
    LocalCalendar calendar;
    // Who the daemon is told answered a question: the user in this app, or the harness when a
    // script drives the app (a daemon started for tests counts only those).
    std::string approver = "menubar";
    // How long any engine run the store starts may take before it is ended (the daemon itself
    // has none).
    std::chrono::milliseconds engineTimeLimit = VardexCli::defaultTimeLimit;
    // The programs a daemon may run for its answers to count; a listener running anything else
    // is refused and shown as not trusted. Unset: the engine this app runs.
    std::optional<std::vector<std::filesystem::path>> trustedDaemons;
};

}  // namespace vardex
