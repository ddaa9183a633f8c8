#pragma once

#include "ui/screens/main_window/pages/page.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace vardex::ui {

class CommandBreakdownView;

// Tries an action without running it: the kind (a command, a file read, a tool call), the
// inputs of that kind, "Test", and what the engine would decide, a command split into its parts.
class CheckPage final : public Page {
    Q_OBJECT
public:
    CheckPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;
    void copyInputs();

    QComboBox* kind_;
    QStackedWidget* inputs_;
    QLineEdit* shell_;
    QLineEdit* read_;
    QLineEdit* server_;
    QLineEdit* tool_;
    QLineEdit* json_;
    QWidget* outcome_;
    QLabel* verdict_;
    QLabel* reason_;
    CommandBreakdownView* breakdown_;
    QLabel* error_;
};

}  // namespace vardex::ui
