#pragma once

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QTimer>
#include <nlohmann/json.hpp>

#include "store/automation.hpp"
#include "ui/automation/command_file.hpp"

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

class ShellSurfaces;
class StoreWatcher;

// Runs the command file a script writes ("open-popover", "click allowButton", "answer first
// deny", "capture step1", "wait-until pending>=1 10", ...), each line in order, and reports one
// JSON line per command. Built only into builds made for scripts and tests, and refused in a
// run whose HOME is the account's own home folder.
class AutomationHarness final : public Automation {
public:
    AutomationHarness(std::filesystem::path commandFile, std::optional<std::filesystem::path> captureDir,
                      ShellSurfaces& shell);

    // The store is made after its ports, so it is handed over once it exists.
    void attach(VardexStore& store, StoreWatcher& watcher) {
        store_ = &store;
        watcher_ = &watcher;
    }
    void poll() override;

    // True when HOME is not the account's own home folder: scripts only ever drive a temporary
    // home, never the user's real one.
    static bool homeIsSafe();

private:
    using Json = nlohmann::json;
    struct Reply {
        bool ok = true;
        std::string error;
        std::optional<Json> result;
    };
    // A command that waits: rechecked at each poll until `done` holds or the time runs out.
    struct Wait {
        Json command;
        std::function<bool()> done;
        std::function<Reply()> finish;
        std::chrono::steady_clock::time_point deadline;
        std::string timeoutError;
    };

    void runQueued();
    // A reply, or absent when the command now waits (`wait_` is set).
    std::optional<Reply> run(const std::vector<std::string>& words);
    Reply capture(const std::string& name) const;
    std::optional<Reply> check(const std::vector<std::string>& words);
    Json state() const;
    void report(const Json& command, const Reply& reply) const;

    CommandFile file_;
    std::optional<std::filesystem::path> captureDir_;
    ShellSurfaces& shell_;
    VardexStore* store_ = nullptr;
    StoreWatcher* watcher_ = nullptr;
    std::deque<std::string> queue_;
    std::optional<Wait> wait_;
    // Between the store's once-a-second ticks, so a script hears back within a tenth of a second.
    QTimer pace_;
};

}  // namespace vardex::ui
