#pragma once

#include <QWidget>

#include "store/store_slices.hpp"
#include "strings/vardex_page.hpp"
#include "ui/app/screen_context.hpp"

class QVBoxLayout;

namespace vardex::ui {

// One page of the main window: its title and subtitle on top, its content below in a column
// that scrolls when it is taller than the window. The page draws once when it is built, then
// again only while it is shown and only when a slice of the store it reads has moved (see
// StoreFollower); a page shown again catches up.
class Page : public QWidget {
    Q_OBJECT
public:
    Page(ScreenContext& context, VardexPage page, QWidget* parent);

    VardexPage page() const { return page_; }

protected:
    // Called after the subclass has built its controls, so the first redraw sees them; `reads`
    // are the slices of the store the page shows.
    void ready(StoreSlices reads);
    virtual void redraw() = 0;
    // Only the clock moved: countdowns and relative times follow it, the rest stays as drawn.
    virtual void clockMoved() {}

    QVBoxLayout& column() const { return *column_; }
    ScreenContext& context() const { return context_; }
    VardexStore& store() const { return context_.store; }

private:
    ScreenContext& context_;
    VardexPage page_;
    QVBoxLayout* column_;
};

}  // namespace vardex::ui
