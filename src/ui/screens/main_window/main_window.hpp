#pragma once

#include <map>

#include <QWidget>

#include "strings/vardex_page.hpp"
#include "ui/app/screen_context.hpp"

class QStackedWidget;

namespace vardex::ui {

class Page;
class Sidebar;

// The main window, 960 × 640 and fixed at that size: the connection-consent screen while it is
// due, else onboarding while that is due, else the sidebar beside the store's current page.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize fixedSize{960, 640};

    explicit MainWindow(ScreenContext& context, QWidget* parent = nullptr);

    // The page shown for `page` (the folders page lives in the protection page).
    Page* page(VardexPage page) const;

private:
    void redraw();

    ScreenContext& context_;
    QStackedWidget* screens_;
    QWidget* consent_;
    QWidget* onboarding_;
    QWidget* workspace_;
    Sidebar* sidebar_;
    QStackedWidget* pages_;
    std::map<VardexPage, Page*> byPage_;
};

}  // namespace vardex::ui
