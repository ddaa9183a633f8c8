#pragma once

#include <vector>

#include <QWidget>

#include "protocol/approval.hpp"

class QVBoxLayout;

namespace vardex::ui {

// The commands of a shell line as the engine read them, one under the other in a fixed-width
// font, a pipe before each command fed by the one above, the parts the engine flagged in bold with
// a caption that says so (not colour alone), and what each does beneath it. A compact view, for a
// popover row, shows the flagged parts only, each cut to its start. Hidden when there are no parts.
class CommandBreakdownView : public QWidget {
    Q_OBJECT
public:
    explicit CommandBreakdownView(bool compact, QWidget* parent = nullptr);

    // Redraws only when the parts differ from those shown.
    void setParts(const std::vector<CommandPart>& parts);

private:
    void redraw();

    bool compact_;
    std::vector<CommandPart> parts_;
    QVBoxLayout* column_;
};

}  // namespace vardex::ui
