#pragma once

#include <array>
#include <functional>
#include <memory>

#include <QWidget>

#include "store/window_host.hpp"

namespace vardex::ui {

enum class WindowKind { approval, dashboard, log };

// The file a save panel's choice names: a name typed without a suffix gets the suggested name's
// (".jsonl", ".png"), so the export opens as what it is; a name with a suffix of its own is kept.
std::filesystem::path withSavedSuffix(const std::filesystem::path& chosen, const SavePanelRequest& request);

// The store's windows as Qt windows. Each is made on first use by the factory the app set for
// it, kept for the life of the host, and on later requests shown again and raised: closing a
// window only hides it, so there is never more than one of a kind.
class QtWindowHost final : public WindowHost {
public:
    using Factory = std::function<std::unique_ptr<QWidget>()>;

    QtWindowHost() = default;
    ~QtWindowHost() override;

    void setFactory(WindowKind kind, Factory factory);
    QWidget* existing(WindowKind kind) const;
    void setMoveOfferHandler(std::function<void()> handler);
    // Called after a window was shown and raised (the tray brings the app forward with it).
    void setShownHandler(std::function<void(WindowKind)> handler);
    // Destroys every window now, before what they read (the store) goes away.
    void closeAll();

    void show(WindowKind kind);

    void openApprovalWindow() override { show(WindowKind::approval); }
    void openDashboardWindow() override { show(WindowKind::dashboard); }
    void openLogWindow() override { show(WindowKind::log); }
    void offerMoveToApplications() override;
    std::optional<std::filesystem::path> chooseSaveLocation(const SavePanelRequest& request) override;
    bool openURL(const std::string& url) override;
    bool openFile(const std::filesystem::path& file) override;
    std::optional<std::string> receiptPNG(const ReceiptData& data) override;

private:
    static constexpr std::size_t kinds = 3;
    std::array<Factory, kinds> factories_;
    std::array<std::unique_ptr<QWidget>, kinds> windows_;
    std::function<void()> moveOffer_;
    std::function<void(WindowKind)> shown_;
};

}  // namespace vardex::ui
