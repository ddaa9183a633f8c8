#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "store/background.hpp"
#include "store/notifier.hpp"
#include "store/preferences.hpp"
#include "store/window_host.hpp"

namespace vardex::testing {

// Runs background work at once on the calling thread; results still arrive through the queue.
class InlineBackground final : public Background {
public:
    void run(WorkPriority priority, Task task) override {
        priorities.push_back(priority);
        task();
    }
    std::vector<WorkPriority> priorities;
};

// Runs background work on real threads; `drain` waits for all of it.
class ThreadBackground final : public Background {
public:
    ~ThreadBackground() override { drain(); }
    void run(WorkPriority, Task task) override {
        std::lock_guard lock(mutex_);
        threads_.emplace_back(std::move(task));
    }
    void drain() {
        std::vector<std::thread> threads;
        {
            std::lock_guard lock(mutex_);
            threads.swap(threads_);
        }
        for (auto& thread : threads) thread.join();
    }

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

class MemoryPreferences final : public Preferences {
public:
    std::optional<PreferenceValue> value(const std::string& key) const override {
        const auto found = values.find(key);
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    void setValue(const std::string& key, const PreferenceValue& value) override { values[key] = value; }

    std::map<std::string, PreferenceValue> values;
};

class RecordingNotifier final : public Notifier {
public:
    void requestAuthorization() override { ++authorizationRequests; }
    void post(const NotificationContent& content) override { posted.push_back(content); }
    void withdraw(const std::string& identifier) override { withdrawn.push_back(identifier); }

    int authorizationRequests = 0;
    std::vector<NotificationContent> posted;
    std::vector<std::string> withdrawn;
};

// Records every request; the save panel answers with `saveLocation` (absent: the user cancels).
class RecordingWindowHost final : public WindowHost {
public:
    void openApprovalWindow() override { opened.push_back("approval"); }
    void openDashboardWindow() override { opened.push_back("dashboard"); }
    void openLogWindow() override { opened.push_back("log"); }
    void offerMoveToApplications() override { opened.push_back("move-offer"); }
    std::optional<std::filesystem::path> chooseSaveLocation(const SavePanelRequest& request) override {
        saveRequests.push_back(request);
        return saveLocation;
    }
    bool openURL(const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    bool openFile(const std::filesystem::path&) override { return true; }
    std::optional<std::string> receiptPNG(const ReceiptData& data) override {
        receipts.push_back(data);
        return receiptBytes;
    }

    std::vector<std::string> opened;
    std::vector<SavePanelRequest> saveRequests;
    std::vector<ReceiptData> receipts;
    // What the receipt renderer answers; absent: nothing could be drawn.
    std::optional<std::string> receiptBytes = std::string("\x89PNG receipt");
    std::optional<std::filesystem::path> saveLocation;
    std::vector<std::string> urls;
};

}  // namespace vardex::testing
