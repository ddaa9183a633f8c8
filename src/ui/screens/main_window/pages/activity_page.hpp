#pragma once

#include <set>
#include <string>

#include "ui/screens/main_window/pages/page.hpp"

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace vardex::ui {

class BlockedEntryCard;
class HelperCard;

// The simple activity list: today's entries collapsed into plain-language rows, each with
// "Why?" and "Delete", and a stop's detail behind "Details"; clearing the whole day behind a
// confirmation; the undo toast.
class ActivityPage final : public Page {
    Q_OBJECT
public:
    ActivityPage(ScreenContext& context, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw() override;

    std::set<std::string> expanded_;  // the rows whose "Why?" is open, by group id
    QVBoxLayout* rows_;
    QLabel* empty_;
    QPushButton* deleteAll_;
    QWidget* confirm_;
    QWidget* toast_;
    HelperCard* helper_;
    BlockedEntryCard* blocked_;
};

}  // namespace vardex::ui
