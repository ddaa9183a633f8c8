#include "ui/screens/main_window/pages/blocked_entry_card.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "activity/v3_feed.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_watcher.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

BlockedEntryCard::BlockedEntryCard(ScreenContext& context, QWidget* parent) : QFrame(parent), context_(context) {
    setObjectName(QStringLiteral("blockedEntry"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2 * kit::grid, 2 * kit::grid, 2 * kit::grid, 2 * kit::grid);
    column->setSpacing(kit::grid);
    auto* top = new QHBoxLayout;
    auto* hand = new QLabel(this);
    hand->setPixmap(symbolIcon("hand.raised.fill", theme::denyColor()).pixmap(28, 28));
    sentence_ = kit::heading({}, this, 3);
    sentence_->setObjectName(QStringLiteral("blockedSentence"));
    top->addWidget(hand, 0, Qt::AlignTop);
    top->addWidget(sentence_, 1);
    column->addLayout(top);
    auto* nothingLeft = kit::paragraph(UIStrings::nothingLeftYourMac, this, true);
    nothingLeft->setObjectName(QStringLiteral("nothingLeft"));
    column->addWidget(nothingLeft);
    why_ = kit::paragraph({}, this);
    why_->setObjectName(QStringLiteral("blockedWhy"));
    why_->hide();
    column->addWidget(why_);
    helper_ = new HelperCard(context.helperModel, context.preferences, {}, true, this);
    column->addWidget(helper_);
    auto* buttons = new QHBoxLayout;
    auto* whyButton = kit::button("blockedWhyButton", UIStrings::v3Why, this);
    auto* ok = kit::button("blockedOK", UIStrings::v3OK, this, true);
    buttons->addWidget(whyButton);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    column->addLayout(buttons);

    connect(whyButton, &QPushButton::clicked, this, [this] { why_->setVisible(!why_->isVisible()); });
    connect(ok, &QPushButton::clicked, this, [this] {
        context_.store.blockedDetailId.reset();
        context_.store.publish();
    });
    connect(&context.watcher, &StoreWatcher::changed, this, &BlockedEntryCard::redraw);
    redraw();
}

void BlockedEntryCard::redraw() {
    const auto entry = context_.store.blockedDetailEntry();
    setVisible(entry.has_value());
    if (!entry) {
        why_->hide();
        shownId_.reset();
        return;
    }
    const auto& story = UIStrings::riskStory(entry->ruleId);
    setPlainText(sentence_, UIStrings::blockedEntrySentence(V3Feed::what(entry->actionSummary),
                                                           UIStrings::agentName(entry->agent)));
    setPlainText(why_, std::string(story.headline) + "\n" + std::string(story.why));
    if (shownId_ == entry->id()) return;
    // Another stop opened: its own explanation, and the page shows it wherever it was scrolled.
    shownId_ = entry->id();
    why_->hide();
    helper_->startOver({UIStrings::blockedDetailHelperPrompt(story.headline), UIStrings::storyFallback(story)});
    QTimer::singleShot(0, this, [this] {
        for (QWidget* up = parentWidget(); up; up = up->parentWidget()) {
            if (auto* area = qobject_cast<QScrollArea*>(up)) {
                area->ensureWidgetVisible(this, 0, 0);
                return;
            }
        }
    });
}

}  // namespace vardex::ui
