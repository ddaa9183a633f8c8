#include "ui/screens/popover/popover_view.hpp"

#include <algorithm>

#include <QDateTime>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "activity/v3_feed.hpp"
#include "store/home_status.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "strings/vardex_page.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/screens/popover/pending_row.hpp"
#include "ui/widgets/confirmation_bar.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/row_name.hpp"
#include "ui/widgets/store_watcher.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QLabel* sectionHeading(std::string_view text, const char* name, QWidget* parent) {
    auto* label = new QLabel(qs(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// Secondary text, softened from the window text of the palette the popover has now.
void soften(QLabel* label, const QPalette& from) {
    QPalette palette = label->palette();
    const QColor soft = theme::secondaryText(from);
    if (palette.color(QPalette::WindowText) == soft) return;
    palette.setColor(QPalette::WindowText, soft);
    label->setPalette(palette);
}

QToolButton* actionButton(const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(16, 16));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumHeight(32);
    return button;
}

// `ink` comes from the popover's palette: on a change of scheme the popover hears of it before
// its buttons do.
void setLabel(QToolButton* button, std::string_view text, std::string_view symbol, const QColor& ink) {
    const QString title = qs(text);
    if (button->text() != title) {
        button->setText(title);
        button->setAccessibleName(title);
    }
    if (button->property("symbol").toString() != qs(symbol)) {
        button->setIcon(symbolIcon(symbol, ink));
        button->setProperty("symbol", qs(symbol));
    }
}

QFrame* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

PopoverView::PopoverView(ScreenContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      statusIcon_(new QLabel(this)),
      statusTitle_(new QLabel(this)),
      statusSubtitle_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      helper_(nullptr),
      pendingSection_(new QWidget(this)),
      pendingRows_(nullptr),
      latestSection_(new QWidget(this)),
      latestLine_(new QLabel(this)),
      latestWhat_(new QLabel(this)),
      latestOpen_(new QToolButton(this)),
      fix_(actionButton("popoverFix", this)),
      turnOn_(actionButton("popoverTurnOn", this)),
      stop_(actionButton("popoverStop", this)),
      pause_(actionButton("popoverPause", this)),
      delete_(actionButton("popoverDelete", this)),
      open_(actionButton("popoverOpen", this)),
      quit_(new QToolButton(this)),
      confirmation_(new ConfirmationBar(QStringLiteral("popoverConfirm"), this)),
      stopConfirmation_(new ConfirmationBar(QStringLiteral("popoverStopConfirm"), this)),
      stopMessage_(new QLabel(this)) {
    setObjectName(QStringLiteral("popoverView"));
    setAccessibleName(qs(UIStrings::product));
    setMinimumWidth(360);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 12);
    column->setSpacing(12);
    buildHeader(column);

    // Waiting questions.
    pendingSection_->setObjectName(QStringLiteral("popoverPending"));
    auto* pending = new QVBoxLayout(pendingSection_);
    pending->setContentsMargins(0, 0, 0, 0);
    pending->setSpacing(8);
    auto* pendingHeading = sectionHeading(UIStrings::pendingRequests, "popoverPendingHeading", pendingSection_);
    softLabels_.push_back(pendingHeading);
    pending->addWidget(pendingHeading);
    pendingRows_ = new QVBoxLayout;
    pendingRows_->setSpacing(8);
    pending->addLayout(pendingRows_);
    column->addWidget(pendingSection_);

    // Latest stop of today.
    latestSection_->setObjectName(QStringLiteral("popoverLatest"));
    auto* latest = new QVBoxLayout(latestSection_);
    latest->setContentsMargins(0, 0, 0, 0);
    latest->setSpacing(2);
    auto* latestHeading = sectionHeading(UIStrings::v3Latest, "popoverLatestHeading", latestSection_);
    softLabels_.push_back(latestHeading);
    latest->addWidget(latestHeading);
    latestLine_->setObjectName(QStringLiteral("popoverLatestLine"));
    latestLine_->setParent(latestSection_);
    latestWhat_->setObjectName(QStringLiteral("popoverLatestWhat"));
    latestWhat_->setParent(latestSection_);
    latestWhat_->setWordWrap(true);
    softLabels_.push_back(latestWhat_);
    // The stop opens in the main window, with what was stopped and why.
    latestOpen_->setObjectName(QStringLiteral("popoverLatestWhy"));
    latestOpen_->setParent(latestSection_);
    latestOpen_->setText(qs(UIStrings::v3Why));
    latestOpen_->setAutoRaise(true);
    auto* latestRow = new QHBoxLayout;
    latestRow->setSpacing(8);
    auto* latestTexts = new QVBoxLayout;
    latestTexts->setSpacing(2);
    latestTexts->addWidget(latestLine_);
    latestTexts->addWidget(latestWhat_);
    latestRow->addLayout(latestTexts, 1);
    latestRow->addWidget(latestOpen_, 0, Qt::AlignTop);
    latest->addLayout(latestRow);
    column->addWidget(latestSection_);

    column->addWidget(divider(this));
    buildActions(column);
    column->addWidget(confirmation_);
    column->addWidget(stopConfirmation_);
    stopMessage_->setObjectName(QStringLiteral("popoverStopMessage"));
    stopMessage_->setTextFormat(Qt::PlainText);
    stopMessage_->setWordWrap(true);
    stopMessage_->hide();
    column->addWidget(stopMessage_);

    quit_->setObjectName(QStringLiteral("popoverQuit"));
    quit_->setText(qs(UIStrings::quit));
    quit_->setAccessibleName(qs(UIStrings::quit));
    quit_->setAutoRaise(true);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(quit_);
    column->addLayout(bottom);

    connect(fix_, &QToolButton::clicked, this, [this] { context_.store.fixIt(); });
    connect(turnOn_, &QToolButton::clicked, this, [this] { context_.store.fixIt(); });
    connect(stop_, &QToolButton::clicked, this, [this] {
        if (context_.store.agentsStopped) context_.store.v3Resume();
        else context_.store.v3StopNow();
    });
    connect(pause_, &QToolButton::clicked, this, [this] {
        if (context_.store.isPaused()) context_.store.resumeProtection();
        else askToConfirm(Confirm::pause);
    });
    connect(delete_, &QToolButton::clicked, this, [this] { askToConfirm(Confirm::deleteToday); });
    connect(open_, &QToolButton::clicked, this, [this] { context_.store.openDashboardWindow(); });
    connect(quit_, &QToolButton::clicked, this, [this] { askToConfirm(Confirm::quit); });
    connect(confirmation_, &ConfirmationBar::confirmed, this, &PopoverView::confirmed);
    connect(confirmation_, &ConfirmationBar::cancelled, this, [this] { confirming_ = Confirm::none; });
    connect(stopConfirmation_, &ConfirmationBar::confirmed, this, [this] { context_.store.v3StopRunningAgents(); });
    connect(stopConfirmation_, &ConfirmationBar::cancelled, this, [this] {
        context_.store.v3ConfirmStopAgent = false;
        context_.store.publish();
    });
    connect(latestOpen_, &QToolButton::clicked, this, [this] {
        auto& store = context_.store;
        const auto id = latestOpen_->property("entryId").toString();
        if (id.isEmpty()) return;
        store.blockedDetailId = utf8(id);
        store.page = VardexPage::home;
        store.publish();
        store.openDashboardWindow();
    });
    connect(&context_.watcher, &StoreWatcher::changed, this, [this] {
        if (isVisible()) redraw();
    });
    paint();
    redraw();
}

void PopoverView::buildHeader(QVBoxLayout* column) {
    statusIcon_->setObjectName(QStringLiteral("popoverStatusIcon"));
    statusIcon_->setFixedSize(32, 32);
    statusTitle_->setObjectName(QStringLiteral("popoverStatusTitle"));
    QFont title = statusTitle_->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.25);
    statusTitle_->setFont(title);
    statusSubtitle_->setObjectName(QStringLiteral("popoverStatusSubtitle"));
    statusSubtitle_->setWordWrap(true);
    softLabels_.push_back(statusSubtitle_);

    auto* header = new QGridLayout;
    header->setHorizontalSpacing(12);
    header->setVerticalSpacing(2);
    header->addWidget(statusIcon_, 0, 0, 2, 1, Qt::AlignTop);
    header->addWidget(statusTitle_, 0, 1);
    header->addWidget(statusSubtitle_, 1, 1);
    header->setColumnStretch(1, 1);
    column->addLayout(header);

    progress_->setObjectName(QStringLiteral("popoverProgress"));
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(4);
    progress_->setAccessibleName(qs(UIStrings::starting));
    column->addWidget(progress_);

    helper_ = new HelperCard(context_.helperModel, context_.preferences, {}, true, this);
    column->addWidget(helper_);
}

void PopoverView::buildActions(QVBoxLayout* column) {
    actions_ = new QGridLayout;
    actions_->setHorizontalSpacing(8);
    actions_->setVerticalSpacing(8);
    column->addLayout(actions_);
}

void PopoverView::labelAction(QToolButton* button, std::string_view text, std::string_view symbol) {
    setLabel(button, text, symbol, palette().color(QPalette::ButtonText));
}

void PopoverView::paint() {
    for (auto* label : softLabels_) soften(label, palette());
    // A change of scheme redraws every glyph; the ones that follow the status come with redraw.
    for (auto* button : {fix_, turnOn_, stop_, pause_, delete_, open_}) button->setProperty("symbol", QVariant());
    statusIcon_->setProperty("symbol", QVariant());
    labelAction(fix_, UIStrings::v3Fix, "wrench.and.screwdriver");
    labelAction(turnOn_, UIStrings::v3TurnOn, "power");
    labelAction(delete_, UIStrings::v3Delete, "trash");
    labelAction(open_, UIStrings::popoverOpen, "macwindow");
}

void PopoverView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw();
}

void PopoverView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) return;
    paint();
    redraw();
}

void PopoverView::redraw() {
    redrawHeader();
    redrawPending();
    redrawLatest();
    redrawActions();
    redrawStop();
    chainTabs();
}

void PopoverView::chainTabs() {
    std::vector<QWidget*> order{helper_->findChild<QToolButton*>(QStringLiteral("helperAsk"))};
    for (const auto& id : rowOrder_) {
        for (QWidget* answer : rows_.at(id)->answersInTabOrder()) order.push_back(answer);
    }
    order.push_back(latestOpen_);
    for (int i = 0; i < actions_->count(); ++i) {
        if (QWidget* button = actions_->itemAt(i)->widget()) order.push_back(button);
    }
    for (auto* bar : {confirmation_, stopConfirmation_}) {
        for (QWidget* button : bar->buttonsInTabOrder()) order.push_back(button);
    }
    order.push_back(quit_);
    for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void PopoverView::redrawHeader() {
    const auto& store = context_.store;
    const HomeStatusLine line = homeStatusLine(store);
    const QColor colour = theme::statusColor(line.kind);
    if (statusIcon_->property("symbol").toString() != qs(line.symbol) ||
        statusIcon_->property("colour").value<QColor>() != colour) {
        statusIcon_->setPixmap(symbolIcon(line.symbol, colour).pixmap(QSize(32, 32), devicePixelRatioF()));
        statusIcon_->setProperty("symbol", qs(line.symbol));
        statusIcon_->setProperty("colour", colour);
    }
    setPlainText(statusTitle_, line.title);
    setPlainText(statusSubtitle_, line.subtitle);
    setAccessibleDescription(qs(line.title));
    progress_->setVisible(store.busy || store.refreshing || store.fixingAll || store.startingProtection);
    helper_->setTexts({UIStrings::popoverHelperPrompt(store.todayStoppedCount()), std::string(UIStrings::popoverHelperFallback)});
}

void PopoverView::redrawPending() {
    const auto& store = context_.store;
    // Rows are kept by request id, so a row's arming second survives the redraws around it; a
    // kept row that moves into another question's place arms again, so a click meant for the
    // question that left (withdrawn by its agent, perhaps on purpose) answers nothing.
    std::map<std::string, PendingRow*> kept;
    std::vector<std::string> order;
    for (const auto& ask : store.pending) {
        const auto found = rows_.find(ask.request.id);
        const std::size_t place = order.size();
        order.push_back(ask.request.id);
        PendingRow* row = nullptr;
        if (found != rows_.end()) {
            row = found->second;
            rows_.erase(found);
            if (place >= rowOrder_.size() || rowOrder_[place] != ask.request.id) row->rearm();
        } else {
            row = new PendingRow(context_.store, ask, pendingSection_);
        }
        row->redraw(ask, store.now);
        pendingRows_->removeWidget(row);
        pendingRows_->addWidget(row);
        kept.emplace(ask.request.id, row);
    }
    for (auto& [id, row] : rows_) delete row;
    rows_ = std::move(kept);
    rowOrder_ = std::move(order);
    pendingSection_->setVisible(!store.pending.empty());
}

void PopoverView::redrawLatest() {
    const auto entries = context_.store.v3TodayEntries();
    const auto latest = std::find_if(entries.begin(), entries.end(),
                                     [](const AuditLogEntry& entry) { return entry.decision == Outcome::deny; });
    latestSection_->setVisible(latest != entries.end());
    if (latest == entries.end()) {
        latestOpen_->setProperty("entryId", QVariant());
        return;
    }
    latestOpen_->setProperty("entryId", qs(latest->id()));
    QString when;
    if (const auto at = V3Feed::date(latest->ts)) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(at->time_since_epoch()).count();
        when = QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).time(), QLocale::ShortFormat);
    }
    const std::string agent(UIStrings::agentName(latest->agent));
    setPlainText(latestLine_, when.isEmpty() ? agent : agent + " · " + utf8(when));
    setPlainText(latestWhat_, V3Feed::what(latest->actionSummary));
    latestOpen_->setAccessibleName(rowName(UIStrings::v3Why, latestLine_->text() + QStringLiteral(" ") + latestWhat_->text()));
}

void PopoverView::redrawStop() {
    const auto& store = context_.store;
    if (store.v3ConfirmStopAgent) {
        if (stopConfirmation_->isHidden()) stopConfirmation_->ask(UIStrings::stopAgentAsk, UIStrings::closeIt);
    } else {
        stopConfirmation_->hide();
    }
    const QString message = store.v3StopMessage ? qs(*store.v3StopMessage) : QString();
    if (stopMessage_->text() != message) stopMessage_->setText(message);
    stopMessage_->setVisible(!message.isEmpty());
}

void PopoverView::redrawActions() {
    const auto& store = context_.store;
    const HomeStatusKind kind = homeStatusKind(store);
    const bool working = store.busy || store.startingProtection || store.fixingAll;
    fix_->setVisible(kind == HomeStatusKind::needsFix);
    fix_->setEnabled(!working);
    turnOn_->setVisible(kind == HomeStatusKind::off);
    turnOn_->setEnabled(!working);
    if (store.agentsStopped) labelAction(stop_, UIStrings::v3Resume, "play.fill");
    else labelAction(stop_, UIStrings::v3Stop, "stop.fill");
    // While paused the pause button is the way back; it also stands in for the status's Resume.
    if (store.isPaused()) labelAction(pause_, UIStrings::resume, "play.fill");
    else labelAction(pause_, UIStrings::v2Pause, "pause");
    pause_->setVisible(store.isPaused() || kind == HomeStatusKind::protected_ || kind == HomeStatusKind::paused);
    delete_->setEnabled(!store.v3TodayEntries().empty());
    arrangeActions();
}

void PopoverView::arrangeActions() {
    // Two to a row in their fixed order, the last of an odd number across both columns, and
    // Open across the bottom: no holes whichever actions the status offers.
    std::vector<QToolButton*> shown;
    for (auto* button : {fix_, turnOn_, stop_, pause_, delete_, open_}) {
        actions_->removeWidget(button);
        if (!button->isHidden() && button != open_) shown.push_back(button);
    }
    const auto count = static_cast<int>(shown.size());
    for (int i = 0; i < count; ++i) {
        const bool alone = i == count - 1 && count % 2 == 1;
        actions_->addWidget(shown[static_cast<std::size_t>(i)], i / 2, alone ? 0 : i % 2, 1, alone ? 2 : 1);
    }
    actions_->addWidget(open_, (count + 1) / 2, 0, 1, 2);
}

void PopoverView::askToConfirm(Confirm what) {
    confirming_ = what;
    switch (what) {
        case Confirm::pause: confirmation_->ask(UIStrings::pauseConfirm, UIStrings::pauseForOneHour); break;
        case Confirm::deleteToday: confirmation_->ask(UIStrings::v3DeleteAllConfirm, UIStrings::v3Delete); break;
        case Confirm::quit: confirmation_->ask(UIStrings::quitConfirm, UIStrings::quit); break;
        case Confirm::none: confirmation_->hide(); break;
    }
    adjustSize();
}

void PopoverView::askToQuit() { askToConfirm(Confirm::quit); }

void PopoverView::confirmed() {
    const Confirm what = confirming_;
    confirming_ = Confirm::none;
    auto& store = context_.store;
    switch (what) {
        case Confirm::pause: store.confirmPauseForOneHour(); break;
        case Confirm::deleteToday: {
            std::vector<std::string> ids;
            for (const auto& entry : store.v3TodayEntries()) ids.push_back(entry.id());
            store.v3Delete(ids);
            break;
        }
        case Confirm::quit: Q_EMIT quitRequested(); break;
        case Confirm::none: break;
    }
}

}  // namespace vardex::ui
