#include "ui/tray/menu_bar_status.hpp"

#include <algorithm>
#include <chrono>

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "store/icon_state.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/screens/popover/popover_view.hpp"
#include "ui/tray/popover_placement.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_watcher.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/wayland_session.hpp"

namespace vardex::ui {

namespace {

constexpr int minimumWidth = 360;
constexpr int minimumHeight = 220;
// How often an app without a tray looks for one.
constexpr std::chrono::seconds trayWatchInterval{2};

TrayLook lookFor(VardexIconState state) {
    return {state == VardexIconState::paused || state == VardexIconState::notProtected,
            state == VardexIconState::promptPending};
}

}  // namespace

MenuBarStatus::MenuBarStatus(ScreenContext& context, QObject* parent)
    : QObject(parent), context_(context), frame_(new QFrame), view_(new PopoverView(context, frame_)) {
    frame_->setObjectName(QStringLiteral("popoverFrame"));
    frame_->setWindowTitle(qs(UIStrings::product));
    frame_->setAccessibleName(qs(UIStrings::product));
    auto* layout = new QVBoxLayout(frame_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->setFixedWidth(PopoverView::preferredWidth);

    frame_->installEventFilter(this);
    connect(view_, &PopoverView::quitRequested, this, &MenuBarStatus::quitRequested);
    connect(&context_.watcher, &StoreWatcher::changed, this, [this] {
        syncIcon();
        // Rows come and go while the popover is open: it grows and shrinks with them.
        if (frame_->isVisible()) fit();
    });

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        moveIntoTray();
        return;
    }
    // With no tray the same content is an ordinary small window, so the app can be reached. A tray
    // that comes later (a panel that starts after the app at login) takes the app in.
    frame_->setWindowFlags(Qt::Window);
    syncIcon();
    place();
    frame_->show();
    popoverShown();
    trayWatch_ = new QTimer(this);
    trayWatch_->setInterval(trayWatchInterval);
    connect(trayWatch_, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
        trayWatch_->stop();
        frame_->hide();
        moveIntoTray();
    });
    trayWatch_->start();
}

void MenuBarStatus::moveIntoTray() {
    // A popup closes when the user clicks elsewhere, like any tray panel. A hairline edge keeps it
    // apart from whatever lies under it, light or dark. Wayland grants a popup only to a window of
    // the same app that the user just clicked, and a tray icon is drawn by another program: there
    // the popover is a small window of its own that closes when it loses the focus.
    frame_->setWindowFlags(onWayland() ? Qt::Tool | Qt::FramelessWindowHint : Qt::Popup | Qt::FramelessWindowHint);
    frame_->setFrameShape(QFrame::StyledPanel);
    tray_ = new QSystemTrayIcon(this);
    tray_->setObjectName(QStringLiteral("trayIcon"));
    menu_ = new QMenu;
    menu_->setObjectName(QStringLiteral("trayMenu"));
    auto* open = menu_->addAction(qs(UIStrings::v2Open));
    open->setObjectName(QStringLiteral("trayOpen"));
    auto* quit = menu_->addAction(qs(UIStrings::quit));
    quit->setObjectName(QStringLiteral("trayQuit"));
    connect(open, &QAction::triggered, this, [this] { context_.store.openDashboardWindow(); });
    connect(quit, &QAction::triggered, this, &MenuBarStatus::askToQuit);
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) toggle();
    });
    // The icon is drawn for the tray that is new, and the window that gave way to it was not
    // closed by a click: the first click on the icon opens the popover.
    look_.reset();
    toolTip_.clear();
    hiddenAt_.invalidate();
    syncIcon();
    tray_->show();
}

MenuBarStatus::~MenuBarStatus() {
    delete frame_;
    delete menu_;
}

bool MenuBarStatus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame_ && event->type() == QEvent::Hide) hiddenAt_.start();
    if (watched == frame_ && event->type() == QEvent::WindowDeactivate && tray_ && onWayland()) frame_->hide();
    return QObject::eventFilter(watched, event);
}

void MenuBarStatus::syncIcon() {
    const VardexIconState state = context_.store.iconState();
    const TrayLook look = lookFor(state);
    const QString tip = qs(UIStrings::shortName) + QStringLiteral(" \u2014 ") + qs(iconTitle(state));
    // The store changes every second; the icon is drawn again only when its look changes.
    if (!look_ || look_->slashed != look.slashed || look_->badge != look.badge) {
        look_ = look;
        const QColor ink = QApplication::palette().color(QPalette::WindowText);
        const QIcon icon = trayIcon(look, ink);
        if (tray_) tray_->setIcon(icon);
        frame_->setWindowIcon(icon);
    }
    if (tip != toolTip_) {
        toolTip_ = tip;
        if (tray_) tray_->setToolTip(tip);
    }
}

void MenuBarStatus::toggle() {
    // A click on the icon while the popover is open first closes the popup (a click outside
    // it), then reaches the icon: that click means "close", not "open again".
    const bool justClosed = hiddenAt_.isValid() && hiddenAt_.elapsed() < 300;
    if (tray_ && (frame_->isVisible() || justClosed)) {
        frame_->hide();
        hiddenAt_.invalidate();
        return;
    }
    open();
}

void MenuBarStatus::open() {
    view_->redraw();
    place();
    frame_->show();
    frame_->raise();
    frame_->activateWindow();
    popoverShown();
}

void MenuBarStatus::askToQuit() {
    if (!frame_->isVisible()) open();
    view_->askToQuit();
    fit();
}

void MenuBarStatus::bringBack() {
    if (tray_) return;
    if (frame_->isMinimized()) frame_->showNormal();
    frame_->show();
    frame_->raise();
    frame_->activateWindow();
}

QRect MenuBarStatus::iconPlace() const {
    // XEmbed trays report the icon's place inside the tray, at the origin; a StatusNotifierItem
    // host reports nothing. The pointer, which has just clicked the icon, says where it is then.
    const QRect reported = tray_->geometry();
    if (reported.isValid() && reported.topLeft() != QPoint(0, 0)) return reported;
    const QPoint pointer = QCursor::pos();
    if (pointer.isNull()) return {};
    return {pointer - QPoint(12, 12), QSize(24, 24)};
}

QSize MenuBarStatus::fittingSize() const {
    const QSize hint = frame_->sizeHint();
    return {std::max(minimumWidth, hint.width()), std::max(minimumHeight, hint.height())};
}

void MenuBarStatus::fit() {
    const QSize size = fittingSize();
    if (frame_->size() == size) return;
    if (!tray_) {
        frame_->resize(size);
        return;
    }
    if (onWayland()) {
        frame_->setFixedSize(size);
        return;
    }
    const QRect now = frame_->geometry();
    QScreen* screen = QGuiApplication::screenAt(now.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    frame_->resize(size);
    if (screen) frame_->move(keptPopoverPosition(now, size, screen->availableGeometry()));
}

void MenuBarStatus::place() {
    const QSize size = fittingSize();
    frame_->resize(size);
    if (!tray_) return;
    if (onWayland()) {
        // The compositor places windows; a window of one fixed size is one a tiling compositor
        // floats rather than stretching it over a tile. The top right corner is asked for, for
        // the compositors that take the hint.
        frame_->setFixedSize(size);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            frame_->move(cornerPopoverPosition(size, screen->availableGeometry()));
        }
        return;
    }
    const QRect icon = iconPlace();
    QScreen* screen = icon.isValid() ? QGuiApplication::screenAt(icon.center()) : nullptr;
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (screen) frame_->move(popoverPosition(icon, size, screen->availableGeometry()));
}

void MenuBarStatus::popoverShown() {
    auto& store = context_.store;
    store.start();
    if (!store.pending.empty()) store.openApprovalWindow();
}

}  // namespace vardex::ui
