#pragma once

#include <QWidget>

#include "strings/vardex_page.hpp"
#include "ui/app/screen_context.hpp"

class QVBoxLayout;

namespace vardex::ui {

// One page of the main window: its title and subtitle on top, its content below in a column
// that scrolls when it is taller than the window. The page redraws from the store whenever the
// store changes, and once when it is built.
class Page : public QWidget {
    Q_OBJECT
public:
    Page(ScreenContext& context, VardexPage page, QWidget* parent);

    VardexPage page() const { return page_; }

protected:
    // Called after the subclass has built its controls, so the first redraw sees them.
    void ready();
    virtual void redraw() = 0;

    QVBoxLayout& column() const { return *column_; }
    ScreenContext& context() const { return context_; }
    VardexStore& store() const { return context_.store; }

private:
    ScreenContext& context_;
    VardexPage page_;
    QVBoxLayout* column_;
};

}  // namespace vardex::ui
