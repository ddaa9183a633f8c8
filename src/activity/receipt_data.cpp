#include "activity/receipt_data.hpp"

#include "activity/notice_policy.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {

std::optional<std::string> receiptTopCatch(const std::vector<AuditLogEntry>& newestFirst,
                                           TimePoint now, const LocalCalendar& calendar) {
    for (const auto& entry : newestFirst) {
        if (entry.decision != Outcome::deny) continue;
        // The local day, as for the counts beside it: the text of a UTC time names another day
        // for part of every day outside UTC.
        const auto when = readTimestamp(entry.ts);
        if (!when || !calendar.isSameDay(*when, now)) continue;
        return std::string(UIStrings::agentName(entry.agent)) + ": " +
               std::string(UIStrings::riskStory(entry.ruleId).headline);
    }
    return std::nullopt;
}

std::string receiptSavedMessage(const std::filesystem::path& file) {
    return std::string(UIStrings::v2Exported) + ": " + file.filename().string();
}

std::filesystem::path receiptPathBeside(const std::filesystem::path& exportFile) {
    return exportFile.parent_path() / receiptFileName;
}

}  // namespace vardex
