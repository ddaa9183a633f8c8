#pragma once

#include <QWidget>

#include "ui/app/screen_context.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;

namespace vardex::ui {

class ActivityTableModel;

// Every decision of the activity log with the agent and decision filters, a search, the count
// and "Export"; the activity window and the main window's full list both show it.
class ActivityLogView final : public QWidget {
    Q_OBJECT
public:
    ActivityLogView(ScreenContext& context, QWidget* parent);

    ActivityTableModel& model() const { return *model_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();

    ScreenContext& context_;
    ActivityTableModel* model_;
    QComboBox* agent_;
    QComboBox* decision_;
    QLineEdit* search_;
    QLabel* count_;
    QTableView* table_;
    QLabel* message_;
};

}  // namespace vardex::ui
