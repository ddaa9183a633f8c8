#include "ui/screens/main_window/pages/home_page.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/home_status.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/screens/main_window/pages/blocked_entry_card.hpp"
#include "ui/screens/receipt/receipt_card.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

HomePage::HomePage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::home, parent) {
    QVBoxLayout* status = nullptr;
    auto* statusCard = kit::card(this, &status);
    statusCard->setObjectName(QStringLiteral("statusCard"));
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(2 * kit::grid);
    statusIcon_ = new QLabel(statusCard);
    statusIcon_->setObjectName(QStringLiteral("statusIcon"));
    statusIcon_->setFixedSize(48, 48);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(kit::grid / 2);
    statusTitle_ = kit::heading({}, statusCard, 6);
    statusTitle_->setObjectName(QStringLiteral("statusTitle"));
    statusSubtitle_ = kit::paragraph({}, statusCard, true);
    statusSubtitle_->setObjectName(QStringLiteral("statusSubtitle"));
    texts->addWidget(statusTitle_);
    texts->addWidget(statusSubtitle_);
    statusAction_ = kit::button("statusAction", {}, statusCard, true);
    statusRow->addWidget(statusIcon_, 0, Qt::AlignTop);
    statusRow->addLayout(texts, 1);
    statusRow->addWidget(statusAction_, 0, Qt::AlignVCenter);
    status->addLayout(statusRow);

    // The question after "Stop": close the running AI apps as well?
    stopConfirm_ = new QWidget(statusCard);
    stopConfirm_->setObjectName(QStringLiteral("stopAgentConfirm"));
    auto* confirmRow = new QHBoxLayout(stopConfirm_);
    confirmRow->setContentsMargins(0, 0, 0, 0);
    auto* ask = kit::paragraph(UIStrings::stopAgentAsk, stopConfirm_);
    auto* closeIt = kit::button("stopAgentClose", UIStrings::closeIt, stopConfirm_, true);
    auto* cancel = kit::button("stopAgentCancel", UIStrings::v3Cancel, stopConfirm_);
    confirmRow->addWidget(ask, 1);
    confirmRow->addWidget(cancel);
    confirmRow->addWidget(closeIt);
    status->addWidget(stopConfirm_);
    stopMessage_ = kit::paragraph({}, statusCard, true);
    stopMessage_->setObjectName(QStringLiteral("stopMessage"));
    status->addWidget(stopMessage_);
    setupError_ = kit::errorLine("setupError", statusCard);
    status->addWidget(setupError_);
    column().addWidget(statusCard);

    blocked_ = new BlockedEntryCard(context, this);
    column().addWidget(blocked_);

    QVBoxLayout* appsColumn = nullptr;
    auto* appsCard = kit::card(this, &appsColumn);
    appsCard->setObjectName(QStringLiteral("appsCard"));
    appsColumn->addWidget(kit::sectionTitle(UIStrings::v3YourApps, appsCard));
    apps_ = new QVBoxLayout;
    apps_->setSpacing(kit::grid);
    appsColumn->addLayout(apps_);
    column().addWidget(appsCard);

    auto* todayRow = new QHBoxLayout;
    stoppedToday_ = kit::paragraph({}, this);
    stoppedToday_->setObjectName(QStringLiteral("stoppedToday"));
    showReceipt_ = kit::button("showReceipt", UIStrings::v2ShowReceipt, this);
    todayRow->addWidget(stoppedToday_, 1);
    todayRow->addWidget(showReceipt_);
    column().addLayout(todayRow);

    receiptPanel_ = new QWidget(this);
    receiptPanel_->setObjectName(QStringLiteral("receiptPanel"));
    auto* receiptColumn = new QVBoxLayout(receiptPanel_);
    receiptColumn->setContentsMargins(0, 0, 0, 0);
    receiptColumn->setSpacing(kit::grid);
    receipt_ = new ReceiptCard(receiptPanel_);
    auto* receiptButtons = new QHBoxLayout;
    auto* back = kit::button("receiptBack", UIStrings::v2Back, receiptPanel_);
    auto* exportPng = kit::button("receiptExport", UIStrings::v2ExportPNG, receiptPanel_, true);
    receiptButtons->addStretch(1);
    receiptButtons->addWidget(back);
    receiptButtons->addWidget(exportPng);
    receiptColumn->addWidget(receipt_, 0, Qt::AlignLeft);
    receiptColumn->addLayout(receiptButtons);
    receiptMessage_ = kit::paragraph({}, receiptPanel_, true);
    receiptMessage_->setObjectName(QStringLiteral("receiptMessage"));
    receiptMessage_->setTextFormat(Qt::PlainText);
    receiptMessage_->hide();
    receiptColumn->addWidget(receiptMessage_, 0, Qt::AlignRight);
    column().addWidget(receiptPanel_);

    helper_ = new HelperCard(context.helperModel, context.preferences, {}, false, this);
    column().addWidget(helper_);
    auto* device = kit::paragraph(UIStrings::runsOnYourDevice, this, true);
    device->setObjectName(QStringLiteral("runsOnDevice"));
    column().addWidget(device);

    connect(statusAction_, &QPushButton::clicked, this, &HomePage::runStatusAction);
    connect(closeIt, &QPushButton::clicked, this, [this] { store().v3StopRunningAgents(); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        store().v3ConfirmStopAgent = false;
        store().publish();
    });
    connect(showReceipt_, &QPushButton::clicked, this, [this] {
        store().showReceipt = true;
        store().publish();
    });
    connect(back, &QPushButton::clicked, this, [this] {
        receiptExported_ = false;
        store().showReceipt = false;
        store().publish();
    });
    connect(exportPng, &QPushButton::clicked, this, [this] {
        receiptExported_ = true;
        store().exportReceiptPNG(std::nullopt);
    });
    ready(StoreSlices::all());
}

void HomePage::runStatusAction() {
    auto& s = store();
    switch (homeStatusKind(s)) {
        case HomeStatusKind::needsFix:
        case HomeStatusKind::off: s.fixIt(); break;
        case HomeStatusKind::paused:
            if (s.agentsStopped) {
                s.v3Resume();
            } else {
                s.resumeProtection();
            }
            break;
        case HomeStatusKind::protected_: break;
    }
}

void HomePage::clockMoved() {
    auto& s = store();
    statusSubtitle_->setText(qs(homeStatusLine(s).subtitle));
    stoppedToday_->setText(qs(UIStrings::v3StoppedCount(s.todayStoppedCount())));
}

void HomePage::redraw() {
    auto& s = store();
    const auto line = homeStatusLine(s);
    const QColor tint = theme::statusColor(line.kind);
    statusIcon_->setPixmap(symbolIcon(line.symbol, tint).pixmap(48, 48));
    statusTitle_->setText(qs(line.title));
    statusSubtitle_->setText(qs(line.subtitle));
    std::string_view action;
    switch (line.kind) {
        case HomeStatusKind::needsFix: action = UIStrings::v3Fix; break;
        case HomeStatusKind::off: action = UIStrings::v3TurnOn; break;
        case HomeStatusKind::paused: action = s.agentsStopped ? UIStrings::v3Resume : UIStrings::resume; break;
        case HomeStatusKind::protected_: break;
    }
    kit::showBusy(statusAction_, s.startingProtection, action, UIStrings::starting);
    statusAction_->setAccessibleName(qs(action));
    statusAction_->setVisible(!action.empty());
    stopConfirm_->setVisible(s.v3ConfirmStopAgent);
    kit::showError(stopMessage_, s.v3StopMessage ? qs(*s.v3StopMessage) : QString());
    kit::showError(setupError_, s.setupError ? qs(*s.setupError) : QString());

    blocked_->redraw();
    drawApps();
    const long long stopped = s.todayStoppedCount();
    stoppedToday_->setText(qs(UIStrings::v3StoppedCount(stopped)));
    helper_->setTexts({UIStrings::homeHelperPrompt(stopped), std::string(UIStrings::homeHelperFallback)});

    receiptPanel_->setVisible(s.showReceipt);
    showReceipt_->setVisible(!s.showReceipt);
    if (s.showReceipt) receipt_->setData(s.receiptData());
    if (!s.showReceipt) receiptExported_ = false;
    kit::showError(receiptMessage_, receiptExported_ && s.lastMessage ? qs(*s.lastMessage) : QString());
}

void HomePage::drawApps() {
    const auto detected = store().detectedCodingAgents();
    std::vector<std::string> shown;
    for (const auto& row : detected) shown.push_back(row.id + ' ' + row.title + (row.installed ? " on" : " off"));
    if (!kit::differs(drawnApps_, std::move(shown))) return;
    kit::clear(apps_);
    if (detected.empty()) {
        auto* none = kit::paragraph(UIStrings::noAgentsDetected, this, true);
        none->setObjectName(QStringLiteral("noApps"));
        apps_->addWidget(none);
    }
    for (const auto& row : detected) {
        auto* item = new QWidget(this);
        item->setObjectName(QStringLiteral("app_") + qs(row.id));
        auto* itemRow = new QHBoxLayout(item);
        itemRow->setContentsMargins(0, 0, 0, 0);
        itemRow->setSpacing(kit::grid);
        auto* mark = new QLabel(item);
        const bool on = row.installed;
        mark->setPixmap(symbolIcon(on ? "checkmark.circle.fill" : "exclamationmark.shield.fill",
                                   on ? theme::allowColor() : theme::askColor())
                            .pixmap(20, 20));
        auto* text = kit::paragraph(row.title + std::string(on ? UIStrings::appIsProtected : UIStrings::appIsNotProtected), item);
        text->setObjectName(QStringLiteral("appLine"));
        itemRow->addWidget(mark);
        itemRow->addWidget(text, 1);
        apps_->addWidget(item);
    }
}

}  // namespace vardex::ui
