#pragma once

#include <optional>

#include <QElapsedTimer>
#include <QFrame>
#include <QObject>
#include <QRect>
#include <QString>

#include "ui/tray/tray_image.hpp"

class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

namespace vardex::ui {

struct ScreenContext;
class PopoverView;

// The tray item and its popover. The icon (plain or slashed, with a badge while a question
// waits) and the tool-tip follow the store; a left click toggles the popover next to the icon,
// a right click opens a small menu (Open, Quit). Without any tray the popover's content lives in
// a small ordinary window, shown at start, so the app can always be reached; a tray that appears
// later takes the icon, and the window becomes the popover again.
class MenuBarStatus final : public QObject {
    Q_OBJECT
public:
    MenuBarStatus(ScreenContext& context, QObject* parent = nullptr);
    ~MenuBarStatus() override;

    // The icon and tool-tip for the store's state; runs after the store's change, never in it.
    void syncIcon();
    // Shows the popover (or closes it when shown); showing starts the store and, with a
    // question waiting, opens the approval window.
    void toggle();
    // Shows the popover asking whether to quit: the tray menu's Quit takes the popover's road.
    void askToQuit();
    // Another start of the app asked this one to come forward: without a tray the small window
    // comes back, wherever it was closed or minimised to.
    void bringBack();

    bool hasTray() const { return tray_ != nullptr; }
    QSystemTrayIcon* tray() const { return tray_; }
    QWidget* popover() const { return frame_; }
    PopoverView* view() const { return view_; }
    QString toolTip() const { return toolTip_; }

Q_SIGNALS:
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Makes the tray icon and its menu, and turns the window into the popover.
    void moveIntoTray();
    void popoverShown();
    // Shows the popover next to the icon.
    void open();
    // The popover's size for its content: at least 360 × 220.
    QSize fittingSize() const;
    // Sizes the popover to its content and puts it next to the icon: each time it opens.
    void place();
    // Sizes the popover to its content where it stands (kept on the screen): content that comes
    // and goes while it is open never moves it after the pointer.
    void fit();
    // Where the icon is on screen, as far as anyone can tell; empty when unknown.
    QRect iconPlace() const;

    ScreenContext& context_;
    QSystemTrayIcon* tray_ = nullptr;
    // Looks for a tray while there is none.
    QTimer* trayWatch_ = nullptr;
    QMenu* menu_ = nullptr;
    QFrame* frame_;
    PopoverView* view_;
    std::optional<TrayLook> look_;
    QString toolTip_;
    QElapsedTimer hiddenAt_;
};

}  // namespace vardex::ui
