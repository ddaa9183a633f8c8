#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "activity/receipt_data.hpp"

namespace vardex {

struct SavePanelRequest {
    std::string suggestedName;
    std::vector<std::string> contentTypes;  // "json", "text", "png"
    bool canCreateFolders = true;
};

// The windows and system panels the store opens. The windows themselves (and whether one
// already exists) belong to the host; the store only asks for them to be shown.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual void openApprovalWindow() = 0;
    virtual void openDashboardWindow() = 0;
    virtual void openLogWindow() = 0;
    // Offers to move the app where applications live, when the host finds that it should.
    virtual void offerMoveToApplications() = 0;
    // Absent when the user cancels.
    virtual std::optional<std::filesystem::path> chooseSaveLocation(const SavePanelRequest& request) = 0;
    // False when nothing could open it.
    virtual bool openURL(const std::string& url) = 0;
    virtual bool openFile(const std::filesystem::path& file) = 0;
    // The receipt card drawn at two device pixels per point, as PNG bytes (the example badge
    // included when the data says so); absent when nothing could be drawn or encoded.
    virtual std::optional<std::string> receiptPNG(const ReceiptData& data) = 0;
};

}  // namespace vardex
