#include "ui/screens/main_window/pages/activity_page.hpp"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "activity/v3_feed.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/screens/main_window/pages/blocked_entry_card.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/row_name.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

std::string_view decisionSymbol(Outcome decision) {
    switch (decision) {
        case Outcome::allow: return "checkmark.circle.fill";
        case Outcome::ask: return "questionmark.circle.fill";
        case Outcome::deny: return "hand.raised.fill";
    }
    return "checkmark.circle.fill";
}

QColor decisionColor(Outcome decision) {
    switch (decision) {
        case Outcome::allow: return theme::allowColor();
        case Outcome::ask: return theme::askColor();
        case Outcome::deny: return theme::denyColor();
    }
    return theme::allowColor();
}

}  // namespace

ActivityPage::ActivityPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::activity, parent) {
    auto* tools = new QHBoxLayout;
    tools->addWidget(kit::sectionTitle(UIStrings::v3Today, this), 1);
    deleteAll_ = kit::symbolButton("deleteAll", UIStrings::v3Delete, "trash", this);
    tools->addWidget(deleteAll_);
    column().addLayout(tools);

    confirm_ = new QWidget(this);
    confirm_->setObjectName(QStringLiteral("deleteAllConfirm"));
    auto* confirmRow = new QHBoxLayout(confirm_);
    confirmRow->setContentsMargins(0, 0, 0, 0);
    confirmRow->addWidget(kit::paragraph(UIStrings::v3DeleteAllConfirm, confirm_), 1);
    auto* cancel = kit::button("deleteAllCancel", UIStrings::v3Cancel, confirm_);
    auto* yes = kit::button("deleteAllYes", UIStrings::v3Delete, confirm_, true);
    confirmRow->addWidget(cancel);
    confirmRow->addWidget(yes);
    confirm_->hide();
    column().addWidget(confirm_);

    toast_ = new QFrame(this);
    toast_->setObjectName(QStringLiteral("undoToast"));
    static_cast<QFrame*>(toast_)->setFrameShape(QFrame::StyledPanel);
    toast_->setAutoFillBackground(true);
    toast_->setBackgroundRole(QPalette::AlternateBase);
    auto* toastRow = new QHBoxLayout(toast_);
    toastRow->setContentsMargins(2 * kit::grid, kit::grid, kit::grid, kit::grid);
    auto* toastTexts = new QVBoxLayout;
    toastTexts->setSpacing(0);
    toastTexts->addWidget(kit::paragraph(UIStrings::toastRemoved, toast_));
    toastTexts->addWidget(kit::paragraph(UIStrings::toastLogKept, toast_, true));
    auto* undo = kit::button("undo", UIStrings::v3Undo, toast_);
    toastRow->addLayout(toastTexts, 1);
    toastRow->addWidget(undo);
    column().addWidget(toast_);

    // A stop's detail, opened from its row, above the list.
    blocked_ = new BlockedEntryCard(context, this);
    column().addWidget(blocked_);

    QVBoxLayout* listColumn = nullptr;
    auto* list = kit::card(this, &listColumn);
    list->setObjectName(QStringLiteral("activityList"));
    empty_ = kit::paragraph(UIStrings::activityNothingHere, list, true);
    empty_->setObjectName(QStringLiteral("activityEmpty"));
    listColumn->addWidget(empty_);
    rows_ = new QVBoxLayout;
    rows_->setSpacing(kit::grid);
    listColumn->addLayout(rows_);
    column().addWidget(list);

    helper_ = new HelperCard(context.helperModel, context.preferences,
                             {std::string(UIStrings::activityHelperPrompt), std::string(UIStrings::activityHelperFallback)},
                             false, this);
    column().addWidget(helper_);
    auto* footnote = kit::paragraph(UIStrings::activityFootnote, this, true);
    footnote->setObjectName(QStringLiteral("activityFootnote"));
    column().addWidget(footnote);

    connect(deleteAll_, &QPushButton::clicked, this, [this] { confirm_->show(); });
    connect(cancel, &QPushButton::clicked, this, [this] { confirm_->hide(); });
    connect(yes, &QPushButton::clicked, this, [this] {
        confirm_->hide();
        std::vector<std::string> ids;
        for (const auto& entry : store().v3TodayEntries()) ids.push_back(entry.id());
        store().v3Delete(ids);
    });
    connect(undo, &QPushButton::clicked, this, [this] { store().v3Undo(); });
    ready();
}

void ActivityPage::showEvent(QShowEvent* event) {
    Page::showEvent(event);
    store().refreshAuditFeed();
}

void ActivityPage::redraw() {
    auto& s = store();
    const auto groups = V3Feed::groups(s.v3TodayEntries());
    deleteAll_->setEnabled(!groups.empty());
    if (groups.empty()) confirm_->hide();
    toast_->setVisible(!s.v3UndoIds.empty());
    empty_->setVisible(groups.empty());

    kit::clear(rows_);
    int index = 0;
    for (const auto& group : groups) {
        const auto& entry = group.latest;
        const std::string id = group.id();
        auto* row = new QWidget(this);
        row->setObjectName(QStringLiteral("activityRow%1").arg(index++));
        auto* rowColumn = new QVBoxLayout(row);
        rowColumn->setContentsMargins(0, 0, 0, 0);
        rowColumn->setSpacing(kit::grid / 2);
        auto* line = new QHBoxLayout;
        line->setSpacing(kit::grid);
        auto* mark = new QLabel(row);
        mark->setPixmap(symbolIcon(decisionSymbol(entry.decision), decisionColor(entry.decision)).pixmap(20, 20));
        auto* texts = new QVBoxLayout;
        texts->setSpacing(0);
        auto* sentence = kit::paragraph(UIStrings::v3GroupSentence(UIStrings::agentName(entry.agent), entry.decision,
                                                                   entry.ruleId, static_cast<long long>(group.count())),
                                        row);
        sentence->setObjectName(QStringLiteral("rowSentence"));
        auto* what = kit::paragraph(V3Feed::what(entry.actionSummary), row, true);
        what->setObjectName(QStringLiteral("rowWhat"));
        texts->addWidget(sentence);
        texts->addWidget(what);
        const QString said = sentence->text() + QStringLiteral(" ") + what->text();
        auto* why = kit::button("rowWhy", UIStrings::v3Why, row);
        why->setAccessibleName(rowName(UIStrings::v3Why, said));
        auto* remove = kit::button("rowDelete", UIStrings::v3Delete, row);
        remove->setAccessibleName(rowName(UIStrings::v3Delete, said));
        line->addWidget(mark, 0, Qt::AlignTop);
        line->addLayout(texts, 1);
        // "Details" stands before "Why?", so "Why?" and "Delete" keep their columns on every row.
        if (entry.decision == Outcome::deny) {
            auto* details = kit::button("rowDetails", UIStrings::details, row);
            details->setAccessibleName(rowName(UIStrings::details, said));
            line->addWidget(details, 0, Qt::AlignTop);
            connect(details, &QPushButton::clicked, this, [this, entryId = entry.id()] {
                store().blockedDetailId = entryId;
                store().publish();
            });
        }
        line->addWidget(why, 0, Qt::AlignTop);
        line->addWidget(remove, 0, Qt::AlignTop);
        rowColumn->addLayout(line);

        if (expanded_.contains(id)) {
            const auto& story = UIStrings::riskStory(entry.ruleId);
            auto* detail = kit::paragraph(UIStrings::rowWhy(entry.decision, entry.ruleId), row, true);
            detail->setObjectName(QStringLiteral("rowStory"));
            detail->setContentsMargins(28, 0, 0, 0);
            rowColumn->addWidget(detail);
            if (entry.decision == Outcome::deny) {
                auto* card = new HelperCard(context().helperModel, context().preferences,
                                            {UIStrings::blockedRowHelperPrompt(story.headline), UIStrings::storyFallback(story)},
                                            true, row);
                card->setContentsMargins(28, 0, 0, 0);
                rowColumn->addWidget(card);
            }
        }
        connect(why, &QPushButton::clicked, this, [this, id] {
            if (!expanded_.erase(id)) expanded_.insert(id);
            redraw();
        });
        connect(remove, &QPushButton::clicked, this, [this, ids = group.ids] { store().v3Delete(ids); });
        rows_->addWidget(row);
    }
}

}  // namespace vardex::ui
