#pragma once

#include <optional>
#include <string>

#include <QFrame>

#include "ui/app/screen_context.hpp"

class QLabel;

namespace vardex::ui {

class HelperCard;

// The detail of one stopped action (the store's `blockedDetailId`): what was stopped and from
// which app, that nothing left the computer, and why it matters. Hidden while none is open.
class BlockedEntryCard final : public QFrame {
    Q_OBJECT
public:
    BlockedEntryCard(ScreenContext& context, QWidget* parent);

private:
    void redraw();

    ScreenContext& context_;
    std::optional<std::string> shownId_;
    QLabel* sentence_;
    QLabel* why_;
    HelperCard* helper_;
};

}  // namespace vardex::ui
