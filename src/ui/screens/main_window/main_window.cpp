#include "ui/screens/main_window/main_window.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QStackedWidget>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/consent_screen.hpp"
#include "ui/screens/main_window/onboarding_screen.hpp"
#include "ui/screens/main_window/pages/about_page.hpp"
#include "ui/screens/main_window/pages/activity_page.hpp"
#include "ui/screens/main_window/pages/check_page.hpp"
#include "ui/screens/main_window/pages/health_page.hpp"
#include "ui/screens/main_window/pages/home_page.hpp"
#include "ui/screens/main_window/pages/log_page.hpp"
#include "ui/screens/main_window/pages/protection_page.hpp"
#include "ui/screens/main_window/pages/rules_page.hpp"
#include "ui/screens/main_window/pages/settings_page.hpp"
#include "ui/screens/main_window/sidebar.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_follower.hpp"

namespace vardex::ui {

namespace {

// The pages without a sidebar entry of their own show inside one that has.
VardexPage shownPage(VardexPage page) {
    switch (page) {
        case VardexPage::folders: return VardexPage::protection;
        case VardexPage::onboarding:
        case VardexPage::install: return VardexPage::home;
        default: return page;
    }
}

}  // namespace

MainWindow::MainWindow(ScreenContext& context, QWidget* parent) : QWidget(parent, Qt::Window), context_(context) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(qs(UIStrings::product));
    setFixedSize(fixedSize);

    screens_ = new QStackedWidget(this);
    consent_ = new ConsentScreen(context, screens_);
    onboarding_ = new OnboardingScreen(context, screens_);
    workspace_ = new QWidget(screens_);
    workspace_->setObjectName(QStringLiteral("workspace"));
    sidebar_ = new Sidebar(context.preferences, workspace_);
    pages_ = new QStackedWidget(workspace_);
    pages_->setObjectName(QStringLiteral("pages"));
    auto* divider = new QFrame(workspace_);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    auto* row = new QHBoxLayout(workspace_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(sidebar_);
    row->addWidget(divider);
    row->addWidget(pages_, 1);

    const auto add = [this](Page* page) {
        byPage_[page->page()] = page;
        pages_->addWidget(page);
    };
    add(new HomePage(context, pages_));
    add(new ActivityPage(context, pages_));
    add(new ProtectionPage(context, pages_));
    add(new SettingsPage(context, pages_));
    add(new RulesPage(context, pages_));
    add(new CheckPage(context, pages_));
    add(new HealthPage(context, pages_));
    add(new LogPage(context, pages_));
    add(new AboutPage(context, pages_));

    screens_->addWidget(consent_);
    screens_->addWidget(onboarding_);
    screens_->addWidget(workspace_);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(screens_);

    connect(sidebar_, &Sidebar::pageChosen, this, [this](VardexPage chosen) {
        context_.store.page = chosen;
        context_.store.publish();
    });
    (new StoreFollower(context.watcher, *this, {StoreSlice::screens}, {[this] { redraw(); }, {}}))->catchUp();
}

Page* MainWindow::page(VardexPage page) const {
    const auto found = byPage_.find(shownPage(page));
    return found == byPage_.end() ? nullptr : found->second;
}

void MainWindow::redraw() {
    auto& store = context_.store;
    if (store.showConnectConsent) {
        screens_->setCurrentWidget(consent_);
    } else if (store.showOnboarding) {
        screens_->setCurrentWidget(onboarding_);
    } else {
        screens_->setCurrentWidget(workspace_);
    }
    const VardexPage shown = shownPage(store.page);
    sidebar_->select(shown);
    if (Page* current = page(shown)) pages_->setCurrentWidget(current);
}

}  // namespace vardex::ui
