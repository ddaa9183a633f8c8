#pragma once

#include <vector>

#include <QFrame>

#include "store/pending_ask.hpp"

class QLabel;
class QPushButton;

namespace vardex {
class VardexStore;
}

namespace vardex::ui {

class ArmingGate;
class CommandBreakdownView;

// One waiting question in the popover: the agent, what it wants to do (and the part of a command
// line that made the engine ask), the seconds left and the three answers. The answers stay shut for the arming second after the row appears, and again
// after it moves to where another question stood.
class PendingRow final : public QFrame {
    Q_OBJECT
public:
    PendingRow(VardexStore& store, const PendingAsk& ask, QWidget* parent = nullptr);

    const std::string& requestId() const { return request_.id; }
    void redraw(const PendingAsk& ask, TimePoint now);
    // The row now stands where another question was: a click aimed at that one must not land here.
    void rearm();
    // The answers in the order Tab reaches them: the safe one first.
    std::vector<QWidget*> answersInTabOrder() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void answer(ApprovalVerdict verdict);
    void syncButtons();

    VardexStore& store_;
    ApprovalRequest request_;
    ArmingGate* gate_;
    QLabel* agent_;
    QLabel* summary_;
    CommandBreakdownView* breakdown_;
    QLabel* countdown_;
    QPushButton* allowOnce_;
    QPushButton* alwaysAllow_;
    QPushButton* block_;
    QLabel* alwaysWhy_;
};

}  // namespace vardex::ui
