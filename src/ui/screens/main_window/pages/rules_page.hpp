#pragma once

#include "ui/screens/main_window/pages/page.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace vardex::ui {

class PolicyPreviewBar;

// The engine's safety rules, each with its switch ("Always on" for the rules that cannot be
// switched off) and its decision, and the form that adds the user's own rule.
class RulesPage final : public Page {
    Q_OBJECT
public:
    RulesPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;

    QVBoxLayout* rules_;
    QLineEdit* name_;
    QLineEdit* watch_;
    QComboBox* kind_;
    QComboBox* decision_;
    QLabel* error_;
    PolicyPreviewBar* preview_;
};

}  // namespace vardex::ui
