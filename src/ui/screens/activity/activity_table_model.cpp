#include "ui/screens/activity/activity_table_model.hpp"

#include <chrono>

#include <QBrush>
#include <QDateTime>

#include "activity/v3_feed.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

// The entry's time on the local clock; the raw text when it does not read as a time.
QString localTime(const std::string& ts) {
    const auto when = V3Feed::date(ts);
    if (!when) return qs(ts);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(when->time_since_epoch()).count();
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

void ActivityTableModel::setEntries(std::vector<AuditLogEntry> entries) {
    if (entries == entries_) return;
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int ActivityTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int ActivityTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columnCount_; }

QVariant ActivityTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto& entry = entries_[static_cast<std::size_t>(index.row())];
    if (entry.unreadable && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
        switch (index.column()) {
            case decision: return qs(UIStrings::logLineDamagedPill);
            case action: {
                const std::string text = std::string(UIStrings::logLineDamaged) + " " + *entry.unreadable;
                return role == Qt::ToolTipRole ? plainToolTip(text) : visible(text);
            }
            default: return {};
        }
    }
    // A tool-tip is rich text whenever it looks like it; the action and the rule come from the log.
    if (role == Qt::ToolTipRole && (index.column() == action || index.column() == rule)) {
        return plainToolTip(index.column() == action ? entry.actionSummary : entry.ruleId.value_or(std::string()));
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
            case time: return localTime(entry.ts);
            case app: return qs(UIStrings::agentName(entry.agent));
            case decision: return qs(UIStrings::v2Pill(entry.decision));
            case action: return visible(entry.actionSummary);
            case rule: return visible(entry.ruleId.value_or(std::string()));
            default: return {};
        }
    }
    if (role == Qt::ForegroundRole && index.column() == decision && !entry.unreadable) return QVariant::fromValue(QBrush(theme::outcomeColor(entry.decision)));
    return {};
}

QVariant ActivityTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case time: return qs(UIStrings::columnTime);
        case app: return qs(UIStrings::agent);
        case decision: return qs(UIStrings::decision);
        case action: return qs(UIStrings::columnAction);
        case rule: return qs(UIStrings::v2Rule);
        default: return {};
    }
}

}  // namespace vardex::ui
