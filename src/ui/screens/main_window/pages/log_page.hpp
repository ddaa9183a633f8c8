#pragma once

#include "ui/screens/main_window/pages/page.hpp"

namespace vardex::ui {

// The full activity list inside the main window: the same view as the activity window.
class LogPage final : public Page {
    Q_OBJECT
public:
    LogPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override {}
};

}  // namespace vardex::ui
