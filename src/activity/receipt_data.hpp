#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "activity/audit_log_entry.hpp"
#include "activity/local_calendar.hpp"
#include "activity/timestamp.hpp"

namespace vardex {

// The day's receipt card.
struct ReceiptData {
    TimePoint date;
    long long checked = 0;
    long long blocked = 0;
    long long asked = 0;
    std::vector<std::string> agents;  // installed agent titles, in row order
    std::optional<std::string> topCatch;
    bool example = false;
    // The activity log's head when the receipt was made, as `vardex log verify --head` takes it.
    std::optional<std::string> logHead;

    friend bool operator==(const ReceiptData&, const ReceiptData&) = default;
};

// The first deny of today in `newestFirst` (its time text begins with today's day stamp),
// worded as the agent's name and the rule's headline.
std::optional<std::string> receiptTopCatch(const std::vector<AuditLogEntry>& newestFirst,
                                           TimePoint now, const LocalCalendar& calendar);

inline constexpr std::string_view receiptFileName = "vardex-receipt.png";

// The message after saving: "Saved receipt image: " and the file's name.
std::string receiptSavedMessage(const std::filesystem::path& file);

// Where the receipt goes when an export file is named in the environment: beside it.
std::filesystem::path receiptPathBeside(const std::filesystem::path& exportFile);

}  // namespace vardex
