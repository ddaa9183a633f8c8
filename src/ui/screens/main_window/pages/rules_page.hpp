#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bridge/rules_catalog.hpp"
#include "ui/screens/main_window/pages/page.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
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
    // The rows themselves, rebuilt only when the catalogue's rules changed.
    void drawRules(const std::vector<CatalogRule>& all);

    QVBoxLayout* rules_;
    std::optional<std::vector<std::string>> drawnRules_;
    // The switches of the rules drawn, by rule id: they follow the policy without a rebuild.
    std::map<std::string, QCheckBox*> switches_;
    QPushButton* add_;
    QLineEdit* name_;
    QLineEdit* watch_;
    QComboBox* kind_;
    QComboBox* decision_;
    QLabel* error_;
    PolicyPreviewBar* preview_;
};

}  // namespace vardex::ui
