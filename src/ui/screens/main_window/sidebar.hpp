#pragma once

#include <QListWidget>

#include "strings/vardex_page.hpp"

namespace vardex {
class Preferences;
}

namespace vardex::ui {

// The main window's list of pages, each with its title and symbol, and, when the "talkPreview"
// preference is set, an inert "Talk · Coming soon" entry at the end.
class Sidebar final : public QListWidget {
    Q_OBJECT
public:
    Sidebar(const Preferences& preferences, QWidget* parent);

    // Marks the entry of `page` (a page without an entry marks none) without announcing it.
    void select(VardexPage page);

Q_SIGNALS:
    void pageChosen(VardexPage page);

protected:
    // A scheme chosen while the window is open redraws the glyphs in its colours.
    void changeEvent(QEvent* event) override;
};

}  // namespace vardex::ui
