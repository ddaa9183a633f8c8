#include "ui/screens/popover/pending_row.hpp"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/arming_gate.hpp"
#include "ui/widgets/command_breakdown_view.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/row_name.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QPushButton* answerButton(std::string_view text, const char* name, QWidget* parent) {
    auto* button = new QPushButton(qs(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(qs(text));
    button->setAutoDefault(false);
    // A click answers; a key press never lands on an answer by accident.
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

constexpr int summaryLines = 3;

long long secondsLeft(TimePoint deadline, TimePoint now) {
    const std::chrono::duration<double> left = deadline - now;
    return std::max(0LL, static_cast<long long>(std::ceil(left.count())));
}

}  // namespace

PendingRow::PendingRow(VardexStore& store, const PendingAsk& ask, QWidget* parent)
    : QFrame(parent),
      store_(store),
      request_(ask.request),
      gate_(new ArmingGate(store.queue(), this)),
      agent_(new QLabel(this)),
      summary_(new QLabel(this)),
      breakdown_(new CommandBreakdownView(true, this)),
      countdown_(new QLabel(this)),
      allowOnce_(answerButton(UIStrings::allowThisTime, "pendingAllowOnce", this)),
      alwaysAllow_(answerButton(UIStrings::alwaysAllow, "pendingAlwaysAllow", this)),
      block_(answerButton(UIStrings::block, "pendingBlock", this)),
      alwaysWhy_(new QLabel(qs(UIStrings::alwaysAllowNote(store.askedThisWeek(ask.request))), this)) {
    setObjectName(QStringLiteral("pendingRow"));
    setProperty("requestId", qs(request_.id));
    setFrameShape(QFrame::StyledPanel);
    agent_->setObjectName(QStringLiteral("pendingAgent"));
    QFont bold = agent_->font();
    bold.setBold(true);
    agent_->setFont(bold);
    agent_->setText(qs(UIStrings::agentName(request_.agent.agent)));
    summary_->setObjectName(QStringLiteral("pendingSummary"));
    // Beside the answers only the start of the action, with how much is left out, so a harmless
    // end cannot stand in for a cut middle; the approval panel shows it whole.
    summary_->setTextFormat(Qt::PlainText);
    summary_->setToolTip(plainToolTip(request_.actionSummary));
    summary_->setAccessibleName(visible(request_.actionSummary));
    summary_->setMinimumWidth(1);
    summary_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    summary_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    countdown_->setObjectName(QStringLiteral("pendingCountdown"));
    QPalette soft = countdown_->palette();
    soft.setColor(QPalette::WindowText, theme::askColor());
    countdown_->setPalette(soft);
    alwaysWhy_->setObjectName(QStringLiteral("pendingAlwaysWhy"));
    alwaysWhy_->setWordWrap(true);
    QPalette secondary = alwaysWhy_->palette();
    secondary.setColor(QPalette::WindowText, theme::secondaryText(palette()));
    alwaysWhy_->setPalette(secondary);
    QFont small = alwaysWhy_->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    alwaysWhy_->setFont(small);
    // A critical question is never offered "Always allow".
    // Each row's answers are told apart by the question they answer.
    const QString question = agent_->text() + QStringLiteral(" ") + summary_->accessibleName();
    allowOnce_->setAccessibleName(rowName(UIStrings::allowThisTime, question));
    alwaysAllow_->setAccessibleName(rowName(UIStrings::alwaysAllow, question));
    block_->setAccessibleName(rowName(UIStrings::block, question));
    alwaysAllow_->setVisible(request_.offersAlwaysAllow());
    alwaysWhy_->setVisible(request_.offersAlwaysAllow());

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 8, 12, 8);
    column->setSpacing(4);
    column->addWidget(agent_);
    column->addWidget(summary_);
    column->addWidget(breakdown_);
    column->addWidget(countdown_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(allowOnce_);
    buttons->addWidget(alwaysAllow_);
    buttons->addStretch(1);
    buttons->addWidget(block_);
    column->addSpacing(4);
    column->addLayout(buttons);
    column->addWidget(alwaysWhy_);

    connect(allowOnce_, &QPushButton::clicked, this, [this] { answer(ApprovalVerdict::allowOnce); });
    connect(alwaysAllow_, &QPushButton::clicked, this, [this] { answer(ApprovalVerdict::alwaysAllow); });
    connect(block_, &QPushButton::clicked, this, [this] { answer(ApprovalVerdict::deny); });
    connect(gate_, &ArmingGate::changed, this, &PendingRow::syncButtons);
    breakdown_->setParts(request_.breakdown);
    redraw(ask, store.now);
    gate_->arm();
}

void PendingRow::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    summary_->setText(fittedStart(request_.actionSummary, summary_->fontMetrics(), summary_->width(), summaryLines));
}

void PendingRow::redraw(const PendingAsk& ask, TimePoint now) {
    const QString line = qs(UIStrings::countdownLine(secondsLeft(ask.deadline, now)));
    if (countdown_->text() != line) countdown_->setText(line);
}

void PendingRow::rearm() { gate_->arm(); }

std::vector<QWidget*> PendingRow::answersInTabOrder() const { return {block_, allowOnce_, alwaysAllow_}; }

void PendingRow::syncButtons() {
    for (auto* button : {allowOnce_, alwaysAllow_, block_}) button->setEnabled(gate_->open());
}

void PendingRow::answer(ApprovalVerdict verdict) {
    if (!gate_->open()) return;
    // The row may be destroyed by the redraw the answer causes; the store call comes last.
    store_.answer(request_, verdict);
}

}  // namespace vardex::ui
