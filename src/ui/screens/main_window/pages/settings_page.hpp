#pragma once

#include "ui/screens/main_window/pages/page.hpp"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vardex::ui {

// Simple settings (pause or turn back on, and "More") and, behind "More", every setting: the
// waiting time and caution level, login start, new agents, quiet hours, notifications, log
// verification, the command-line tool, protection on and off, setup again, what Vardex can't stop.
class SettingsPage final : public Page {
    Q_OBJECT
public:
    SettingsPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;
    QWidget* buildMore();

    QPushButton* pause_;
    QPushButton* resume_;
    QWidget* pauseConfirm_;
    QLabel* pausedLine_;
    QPushButton* more_;
    QWidget* moreBox_;
    QLineEdit* timeout_;
    QLineEdit* threshold_;
    QLabel* policyError_;
    QPushButton* save_;
    QCheckBox* login_;
    QLabel* loginError_;
    QCheckBox* autoProtect_;
    QCheckBox* quiet_;
    QLineEdit* quietStart_;
    QLineEdit* quietEnd_;
    QPushButton* verify_;
    QLabel* verifyResult_;
    QPushButton* protection_;
    QLabel* protectionError_;
    // Which control the service's last refusal answers: the login switch or the protection button.
    bool loginAskedLast_ = false;
    QLabel* message_;
    QLabel* cantStopBody_;
};

}  // namespace vardex::ui
