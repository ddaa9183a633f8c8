#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/screens/main_window/pages/page.hpp"

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace vardex::ui {

class PolicyPreviewBar;

// The folders and web sites AI apps may not touch: each list with its rows and "Remove", a
// folder picker for adding a folder, a field for adding a site, the store's refusal beside them.
class ProtectionPage final : public Page {
    Q_OBJECT
public:
    ProtectionPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;
    void pickFolder();

    QVBoxLayout* folders_;
    QVBoxLayout* sites_;
    std::optional<std::vector<std::string>> drawnFolders_;
    std::optional<std::vector<std::string>> drawnSites_;
    QLineEdit* site_;
    QPushButton* addFolder_;
    QPushButton* addSite_;
    QLabel* error_;
    PolicyPreviewBar* preview_;
};

}  // namespace vardex::ui
