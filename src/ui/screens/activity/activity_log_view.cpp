#include "ui/screens/activity/activity_log_view.hpp"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/activity/activity_table_model.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_follower.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

ActivityLogView::ActivityLogView(ScreenContext& context, QWidget* parent)
    : QWidget(parent), context_(context), model_(new ActivityTableModel(this)) {
    setObjectName(QStringLiteral("activityLog"));
    agent_ = new QComboBox(this);
    agent_->setObjectName(QStringLiteral("agentFilter"));
    agent_->setAccessibleName(qs(UIStrings::agent));
    agent_->addItem(qs(UIStrings::v2AgentAll), -1);
    for (const auto kind : allCases<AgentKind>()) agent_->addItem(qs(UIStrings::agentName(kind)), static_cast<int>(kind));
    decision_ = new QComboBox(this);
    decision_->setObjectName(QStringLiteral("decisionFilter"));
    decision_->setAccessibleName(qs(UIStrings::decision));
    decision_->addItem(qs(UIStrings::decisionAll), -1);
    for (const auto outcome : allCases<Outcome>()) decision_->addItem(qs(UIStrings::v2Pill(outcome)), static_cast<int>(outcome));
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("search"));
    search_->setAccessibleName(qs(UIStrings::search));
    search_->setPlaceholderText(qs(UIStrings::searchPlaceholder));
    search_->setClearButtonEnabled(true);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    QPalette soft = count_->palette();
    soft.setColor(QPalette::WindowText, theme::secondaryText(soft));
    count_->setPalette(soft);
    auto* exportButton = new QPushButton(qs(UIStrings::export_), this);
    exportButton->setObjectName(QStringLiteral("export"));
    exportButton->setAccessibleName(qs(UIStrings::export_));
    exportButton->setIcon(symbolIcon("square.and.arrow.up", palette().color(QPalette::ButtonText)));
    exportButton->setAutoDefault(false);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("activityTable"));
    table_->setAccessibleName(qs(UIStrings::activityList));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(ActivityTableModel::action, QHeaderView::Stretch);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("lastMessage"));
    message_->setPalette(soft);
    message_->setWordWrap(true);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(8);
    filters->addWidget(agent_);
    filters->addWidget(decision_);
    filters->addWidget(search_, 1);
    filters->addWidget(count_);
    filters->addWidget(exportButton);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addLayout(filters);
    column->addWidget(table_, 1);
    column->addWidget(message_);

    auto& store = context.store;
    connect(agent_, &QComboBox::activated, this, [this, &store](int) {
        const int kind = agent_->currentData().toInt();
        store.logAgentFilter = kind < 0 ? std::nullopt : std::optional(static_cast<AgentKind>(kind));
        store.publish();
    });
    connect(decision_, &QComboBox::activated, this, [this, &store](int) {
        const int outcome = decision_->currentData().toInt();
        store.logDecisionFilter = outcome < 0 ? std::nullopt : std::optional(static_cast<Outcome>(outcome));
        store.publish();
    });
    connect(search_, &QLineEdit::textEdited, this, [&store](const QString& text) {
        store.logSearch = utf8(text);
        store.publish();
    });
    connect(exportButton, &QPushButton::clicked, this, [&store] { store.exportLog(); });
    (new StoreFollower(context.watcher, *this, {StoreSlice::activity, StoreSlice::screens}, {[this] { redraw(); }, {}}))
        ->catchUp();
}

void ActivityLogView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    context_.store.refreshAuditFeed();
}

void ActivityLogView::redraw() {
    auto& store = context_.store;
    model_->setEntries(store.filteredAuditEntries());
    agent_->setCurrentIndex(agent_->findData(store.logAgentFilter ? static_cast<int>(*store.logAgentFilter) : -1));
    decision_->setCurrentIndex(decision_->findData(store.logDecisionFilter ? static_cast<int>(*store.logDecisionFilter) : -1));
    if (search_->text() != qs(store.logSearch)) search_->setText(qs(store.logSearch));
    count_->setText(qs(UIStrings::logCount(model_->rowCount(), static_cast<long long>(store.auditEntries.size()))));
    setPlainText(message_, store.lastMessage ? *store.lastMessage : std::string());
    message_->setVisible(store.lastMessage.has_value());
}

}  // namespace vardex::ui
