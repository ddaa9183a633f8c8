#pragma once

#include "ui/screens/main_window/pages/page.hpp"

class QLabel;

namespace vardex::ui {

// About: the taglines and version, the user guide, the optional terminal tool, and turning
// Vardex off for every AI app behind a confirmation.
class AboutPage final : public Page {
    Q_OBJECT
public:
    AboutPage(ScreenContext& context, QWidget* parent);

private:
    void redraw() override;

    QWidget* confirm_;
    QWidget* turnOff_;
    QLabel* message_;
    QLabel* verifyCommand_;
};

}  // namespace vardex::ui
