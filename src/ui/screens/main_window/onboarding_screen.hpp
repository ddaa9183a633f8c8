#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QWidget>

#include "ui/app/screen_context.hpp"

class QLabel;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace vardex::ui {

// First run: the detected AI apps with check boxes and the protect button, then "All set" and
// "Done". The choice lives in the store (`onboardingEnabled`), the step in `onboardingStep`.
class OnboardingScreen final : public QWidget {
    Q_OBJECT
public:
    OnboardingScreen(ScreenContext& context, QWidget* parent);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();

    ScreenContext& context_;
    QStackedWidget* steps_;
    QVBoxLayout* apps_;
    std::optional<std::vector<std::string>> drawnApps_;
    QLabel* none_;
    QPushButton* protect_;
};

}  // namespace vardex::ui
