#pragma once

#include <optional>
#include <string>
#include <vector>

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
    // The pause's time left and today's count follow the clock.
    void clockMoved() override;
    void runStatusAction();
    // The detected AI apps, rebuilt only when one of them changed.
    void drawApps();

    QLabel* statusIcon_;
    QLabel* statusTitle_;
    QLabel* statusSubtitle_;
    QPushButton* statusAction_;
    QWidget* stopConfirm_;
    QLabel* stopMessage_;
    QLabel* setupError_;
    QVBoxLayout* apps_;
    std::optional<std::vector<std::string>> drawnApps_;
    QLabel* stoppedToday_;
    HelperCard* helper_;
    BlockedEntryCard* blocked_;
    QWidget* receiptPanel_;
    ReceiptCard* receipt_;
    QPushButton* showReceipt_;
    QLabel* receiptMessage_;
    // The receipt was saved (or its save asked for) since the panel opened: its outcome shows there.
    bool receiptExported_ = false;
};

}  // namespace vardex::ui
