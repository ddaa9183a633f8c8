#include "ui/screens/activity/activity_window.hpp"

#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/screens/activity/activity_log_view.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

ActivityWindow::ActivityWindow(ScreenContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), view_(new ActivityLogView(context, this)) {
    setObjectName(QStringLiteral("activityWindow"));
    setWindowTitle(qs(UIStrings::navActivity));
    setMinimumSize(720, 460);
    resize(760, 500);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->addWidget(view_);
}

}  // namespace vardex::ui
