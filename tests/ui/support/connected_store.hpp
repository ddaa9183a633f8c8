#pragma once

#include <memory>
#include <string>
#include <vector>

#include "protocol/approval.hpp"
#include "support/daemon_lines.hpp"
#include "support/store_harness.hpp"
#include "support/test_daemon.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/helper/helper_model.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui::testing {

// A real store on virtual time, connected to a scripted daemon on a real socket in a temporary
// HOME, with what screens are built from. The daemon sends what the test pushes and records
// every line the app writes.
class ConnectedStore {
public:
    ConnectedStore();
    ~ConnectedStore();

    VardexStore& store() { return harness.store(); }
    ScreenContext& context() { return *context_; }

    // The daemon asks `request`; returns once the store lists it and the screens have redrawn.
    void daemonAsks(const ApprovalRequest& request);
    // Moves the virtual clock (timers and the arming second run) and lets the screens redraw.
    void advance(double seconds);
    // Runs posted store work and Qt events until nothing is left to do this turn.
    void settle();
    // The approval answers the daemon received, in order ("approval_response" lines only);
    // first waits until a ping sent now comes back, so every earlier line has arrived.
    std::vector<std::string> answersReceived();

    vardex::testing::StoreHarness harness;

private:
    std::filesystem::path socketPath_;
    std::unique_ptr<vardex::testing::ScopedEnv> socketEnv_;
    vardex::testing::DaemonLines lines_;
    std::unique_ptr<vardex::testing::TestDaemon> daemon_;
    std::unique_ptr<StoreWatcher> watcher_;
    NoHelperModel helperModel_;
    std::unique_ptr<ScreenContext> context_;
};

// An approval request as the reference engine sends one for `sudo ls`.
ApprovalRequest sudoRequest(std::string id, Severity severity = Severity::high);

// The exact line the app writes for a verdict the user gave in the app.
std::string verdictLine(const std::string& id, const std::string& verdict);

}  // namespace vardex::ui::testing
