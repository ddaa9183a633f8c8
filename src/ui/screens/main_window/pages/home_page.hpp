#pragma once

#include "ui/screens/main_window/pages/page.hpp"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vardex::ui {

class BlockedEntryCard;
class HelperCard;
class ReceiptCard;

// The simple home: the status card with its one action, the detected AI apps, today's stopped
// count, the day's receipt and the detail of a stopped action when one is open.
class HomePage final : public Page {
    Q_OBJECT
public:
    HomePage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;
    void runStatusAction();

    QLabel* statusIcon_;
    QLabel* statusTitle_;
    QLabel* statusSubtitle_;
    QPushButton* statusAction_;
    QWidget* stopConfirm_;
    QLabel* stopMessage_;
    QVBoxLayout* apps_;
    QLabel* stoppedToday_;
    HelperCard* helper_;
    BlockedEntryCard* blocked_;
    QWidget* receiptPanel_;
    ReceiptCard* receipt_;
    QPushButton* showReceipt_;
};

}  // namespace vardex::ui
