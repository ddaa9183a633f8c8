#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/screens/main_window/pages/page.hpp"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vardex::ui {

// Health: this app and the background service, each AI app with connect or disconnect, "Fix
// all" and "Refresh"; "+ Add another app" opens the apps not found yet and the per-app
// protection switches; the setup steps (none are due on this system).
class HealthPage final : public Page {
    Q_OBJECT
public:
    HealthPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;
    // "Checked a minute ago" follows the clock.
    void clockMoved() override;
    // The app rows and protection switches, rebuilt only when one of them changed.
    void drawLists();

    QLabel* checked_;
    QLabel* binary_;
    QLabel* service_;
    QLabel* sandbox_;
    QLabel* daemonError_;
    QLabel* error_;
    QVBoxLayout* agents_;
    QPushButton* fixAll_;
    QPushButton* refresh_;
    QPushButton* addApp_;
    QWidget* addBox_;
    QWidget* otherCard_;
    QVBoxLayout* otherApps_;
    QVBoxLayout* protectApps_;
    std::optional<std::vector<std::string>> drawnLists_;
    QLabel* message_;
};

}  // namespace vardex::ui
