#include "ui/app/vardex_bar_app.hpp"

#include <QApplication>
#include <QDBusConnection>
#include <QSystemTrayIcon>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/app/approval_opener.hpp"
#include "ui/app/color_scheme.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/ports/dbus_notifier.hpp"
#include "ui/app_menu_offer.hpp"
#include "ui/screens/activity/activity_window.hpp"
#include "ui/screens/approval/approval_panel.hpp"
#include "ui/screens/main_window/main_window.hpp"
#include "ui/tray/menu_bar_status.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui {

VardexBarApp::VardexBarApp() : preferences_(SettingsPreferences::domainFromEnvironment()) {
    QApplication::setQuitOnLastWindowClosed(false);
    notifier_ = std::make_unique<DbusNotifier>(
        QDBusConnection::sessionBus(),
        DbusNotifier::Handlers{
            [this](const std::string& identifier) { windows_.show(windowForNotice(identifier)); },
            [this](const NotificationContent& content) {
                if (status_ && status_->tray()) status_->tray()->showMessage(qs(content.title), qs(content.body));
            },
        });
    automation_ = makeAutomationHook(surfaces_);
    StoreOptions options;
    // A script's answers reach the daemon as the harness's, never as the user's.
    // The daemon this app starts counts them only because it is told to (on a socket of its own).
    if (automation_.port) {
        options.approver = "automation";
        options.service.app.testApprovers = true;
    }
    store_ = VardexStore::make({queue_, background_, preferences_, *notifier_, windows_, automation_.port.get()}, options);
    watcher_ = std::make_unique<StoreWatcher>(*store_);
    if (automation_.attach) automation_.attach(*store_, *watcher_);
    context_ = std::make_unique<ScreenContext>(ScreenContext{*store_, *watcher_, preferences_, helperModel_});
    colorScheme_ = std::make_unique<ColorSchemeFollower>(QDBusConnection::sessionBus());

    windows_.setFactory(WindowKind::approval, [this] { return std::make_unique<ApprovalPanel>(*context_); });
    windows_.setFactory(WindowKind::dashboard, [this] { return std::make_unique<MainWindow>(*context_); });
    windows_.setFactory(WindowKind::log, [this] { return std::make_unique<ActivityWindow>(*context_); });
    windows_.setMoveOfferHandler([this] {
        AppMenuOffer(preferences_, QCoreApplication::applicationFilePath().toStdString(), VARDEX_INSTALL_PREFIX, askToAddToMenu)
            .offerIfNeeded();
    });

    opener_ = std::make_unique<ApprovalOpener>(*watcher_);
    store_->start();
    status_ = std::make_unique<MenuBarStatus>(*context_);
    surfaces_.setStatus(status_.get());
    QObject::connect(status_.get(), &MenuBarStatus::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

VardexBarApp::~VardexBarApp() {
    // Screens go first, while the store they read still stands; the store then stops its
    // connection worker, and the pool finishes its runs while the queue they post to lives.
    surfaces_.setStatus(nullptr);
    status_.reset();
    opener_.reset();
    windows_.closeAll();
    colorScheme_.reset();
    watcher_.reset();
    store_.reset();
}

}  // namespace vardex::ui
