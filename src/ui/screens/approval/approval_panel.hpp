#pragma once

#include <optional>
#include <string>

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedLayout;
class QToolButton;

namespace vardex::ui {

struct ScreenContext;
class ArmingGate;
class CommandBreakdownView;
class HelperCard;

// The window that asks the user about the oldest waiting question: who asks, the risk in plain
// words with its "Why?", how severe, the agent's working folder, the whole action (with how many of its lines are scrolled
// out of view), the seconds
// left, and the two answers. The answers arm for one second whenever the window appears or a new
// question comes to the top; there is no default button, Alt+A allows this time, Alt+D does not
// allow, and Escape closes the window without answering.
class ApprovalPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ApprovalPanel(ScreenContext& context, QWidget* parent = nullptr);

    void redraw();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void answer(bool allow);
    void syncButtons();
    void fitSummary();
    void showLinesBelow();

    ScreenContext& context_;
    ArmingGate* gate_;
    std::optional<std::string> shownId_;
    bool whyOpen_ = false;
    QStackedLayout* pages_;
    QWidget* question_;
    QWidget* empty_;
    QLabel* queueLine_;
    QLabel* asks_;
    QLabel* headline_;
    QToolButton* why_;
    QLabel* whyText_;
    QLabel* severity_;
    QLabel* folder_;
    QLabel* summaryHeading_;
    QPlainTextEdit* summary_;
    QLabel* linesBelow_;
    CommandBreakdownView* breakdown_;
    QLabel* countdown_;
    QLabel* arming_;
    HelperCard* helper_;
    QPushButton* allow_;
    QPushButton* deny_;
    QPushButton* open_;
    QPushButton* emptyOpen_;
};

}  // namespace vardex::ui
