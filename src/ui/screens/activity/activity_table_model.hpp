#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "activity/audit_log_entry.hpp"

namespace vardex::ui {

// The activity list as a table: one row per log entry, newest first, in the columns time, app,
// decision, action and rule. The decision cell carries its colour.
class ActivityTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { time, app, decision, action, rule, columnCount_ };

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the rows; an unchanged list costs no reset, so the selection and scroll stay.
    void setEntries(std::vector<AuditLogEntry> entries);
    const std::vector<AuditLogEntry>& entries() const { return entries_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<AuditLogEntry> entries_;
};

}  // namespace vardex::ui
