#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <QWidget>

class QGridLayout;
class QLabel;
class QProgressBar;
class QToolButton;
class QVBoxLayout;

namespace vardex::ui {

struct ScreenContext;
class ConfirmationBar;
class HelperCard;
class PendingRow;

// The tray popover's content: the status line with the helper, the waiting questions, today's
// latest stop, the actions for the status, and Quit. It redraws from the store while shown.
class PopoverView final : public QWidget {
    Q_OBJECT
public:
    static constexpr int preferredWidth = 380;

    PopoverView(ScreenContext& context, QWidget* parent = nullptr);

    void redraw();

Q_SIGNALS:
    // The user confirmed Quit.
    void quitRequested();

public:
    // Asks in place whether to quit; the tray menu's Quit comes here too.
    void askToQuit();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum class Confirm { none, pause, deleteToday, quit };
    void buildHeader(QVBoxLayout* column);
    void buildActions(QVBoxLayout* column);
    // Icons and softened texts drawn in the palette's colours, again when the palette changes.
    void paint();
    void labelAction(QToolButton* button, std::string_view text, std::string_view symbol);
    void redrawHeader();
    void redrawPending();
    void redrawLatest();
    void redrawActions();
    void redrawStop();
    // Tab walks the popover top to bottom, rows that came later included.
    void chainTabs();
    void arrangeActions();
    void askToConfirm(Confirm what);
    void confirmed();

    ScreenContext& context_;
    QLabel* statusIcon_;
    QLabel* statusTitle_;
    QLabel* statusSubtitle_;
    QProgressBar* progress_;
    HelperCard* helper_;
    QWidget* pendingSection_;
    QVBoxLayout* pendingRows_;
    std::map<std::string, PendingRow*> rows_;
    std::vector<std::string> rowOrder_;
    std::vector<QLabel*> softLabels_;
    QWidget* latestSection_;
    QLabel* latestLine_;
    QLabel* latestWhat_;
    QToolButton* latestOpen_;
    QGridLayout* actions_ = nullptr;
    QToolButton* fix_;
    QToolButton* turnOn_;
    QToolButton* stop_;
    QToolButton* pause_;
    QToolButton* delete_;
    QToolButton* open_;
    QToolButton* quit_;
    ConfirmationBar* confirmation_;
    // After Stop: close the running AI apps as well? Shown while the store asks it.
    ConfirmationBar* stopConfirmation_;
    QLabel* stopMessage_;
    Confirm confirming_ = Confirm::none;
};

}  // namespace vardex::ui
