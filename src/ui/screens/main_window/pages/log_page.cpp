#include "ui/screens/main_window/pages/log_page.hpp"

#include <QVBoxLayout>

#include "ui/screens/activity/activity_log_view.hpp"

namespace vardex::ui {

LogPage::LogPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::log, parent) {
    auto* view = new ActivityLogView(context, this);
    view->setMinimumHeight(420);
    column().addWidget(view, 1);
    // The list follows the store itself.
    ready({});
}

}  // namespace vardex::ui
