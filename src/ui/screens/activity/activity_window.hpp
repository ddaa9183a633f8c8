#pragma once

#include <QWidget>

#include "ui/app/screen_context.hpp"

namespace vardex::ui {

class ActivityLogView;

// The activity list in a window of its own (760 × 500, at least 720 × 460), titled "Activity".
class ActivityWindow final : public QWidget {
    Q_OBJECT
public:
    explicit ActivityWindow(ScreenContext& context, QWidget* parent = nullptr);

    ActivityLogView& view() const { return *view_; }

private:
    ActivityLogView* view_;
};

}  // namespace vardex::ui
