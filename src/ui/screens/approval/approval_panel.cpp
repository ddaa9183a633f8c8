#include "ui/screens/approval/approval_panel.hpp"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedLayout>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/risk_story.hpp"
#include "strings/ui_strings.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/widgets/arming_gate.hpp"
#include "ui/widgets/command_breakdown_view.hpp"
#include "ui/widgets/helper_card.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_watcher.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

const QColor lightText(0xf3, 0xef, 0xea);
const QColor softText(0xb9, 0xb2, 0xaa);

// The panel keeps its dark background in both schemes; everything on it is drawn light.
QPalette darkPanelPalette(QPalette palette) {
    const QColor back = theme::approvalBackground();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, back);
        palette.setColor(group, QPalette::WindowText, lightText);
        palette.setColor(group, QPalette::Base, back.lighter(170));
        palette.setColor(group, QPalette::AlternateBase, back.lighter(200));
        palette.setColor(group, QPalette::Text, lightText);
        palette.setColor(group, QPalette::Button, back.lighter(260));
        palette.setColor(group, QPalette::ButtonText, lightText);
        palette.setColor(group, QPalette::ToolTipBase, back.lighter(200));
        palette.setColor(group, QPalette::ToolTipText, lightText);
        palette.setColor(group, QPalette::PlaceholderText, softText);
        palette.setColor(group, QPalette::Light, back.lighter(320));
        palette.setColor(group, QPalette::Midlight, back.lighter(280));
        palette.setColor(group, QPalette::Mid, back.lighter(200));
        palette.setColor(group, QPalette::Dark, back.darker(150));
        palette.setColor(group, QPalette::Shadow, Qt::black);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, back);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, softText.darker(140));
    palette.setColor(QPalette::Disabled, QPalette::Text, softText.darker(140));
    palette.setColor(QPalette::Disabled, QPalette::Button, back.lighter(180));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, softText.darker(150));
    palette.setColor(QPalette::Disabled, QPalette::Base, back.lighter(170));
    return palette;
}

QLabel* softLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, softText);
    label->setPalette(palette);
    return label;
}

QPushButton* answerButton(const QString& text, const char* name, const QColor& colour, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    // No default button: Enter answers nothing. No click focus: typing answers nothing.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    button->setMinimumHeight(36);
    button->setMinimumWidth(128);
    QPalette palette = button->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Button, colour);
        palette.setColor(group, QPalette::ButtonText, Qt::white);
    }
    button->setPalette(palette);
    return button;
}

QString severityColour(Severity severity) {
    switch (severity) {
        case Severity::critical:
        case Severity::high: return theme::denyColor().name();
        case Severity::medium: return theme::askColor().name();
        case Severity::low:
        case Severity::info: return softText.name();
    }
    return softText.name();
}

}  // namespace

ApprovalPanel::ApprovalPanel(ScreenContext& context, QWidget* parent)
    : QWidget(parent),
      context_(context),
      gate_(new ArmingGate(context.store.queue(), this)),
      pages_(new QStackedLayout),
      question_(new QWidget(this)),
      empty_(new QWidget(this)),
      queueLine_(softLabel("approvalQueueLine", question_)),
      asks_(new QLabel(question_)),
      headline_(new QLabel(question_)),
      why_(new QToolButton(question_)),
      whyText_(softLabel("approvalWhyText", question_)),
      severity_(new QLabel(question_)),
      folder_(softLabel("approvalFolder", question_)),
      summaryHeading_(softLabel("approvalSummaryHeading", question_)),
      summary_(new QPlainTextEdit(question_)),
      linesBelow_(softLabel("approvalLinesBelow", question_)),
      breakdown_(new CommandBreakdownView(false, question_)),
      countdown_(new QLabel(question_)),
      arming_(softLabel("approvalArming", question_)),
      helper_(new HelperCard(context.helperModel, context.preferences, {}, true, question_)),
      allow_(answerButton(qs(UIStrings::v3Allow), "approvalAllow", theme::allowColor().darker(115), question_)),
      deny_(answerButton(qs(UIStrings::v3DontAllow), "approvalDeny", theme::approvalBackground().lighter(300), question_)),
      open_(new QPushButton(qs(UIStrings::v2Open), question_)),
      emptyOpen_(new QPushButton(qs(UIStrings::v2Open), empty_)) {
    setObjectName(QStringLiteral("approvalPanel"));
    setWindowTitle(qs(UIStrings::approvalNeeded));
    setAccessibleName(qs(UIStrings::approvalNeeded));
    setWindowIcon(symbolIcon("checkmark.shield.fill", theme::statusColor(HomeStatusKind::protected_)));
    resize(460, 420);
    setMinimumSize(440, 360);
    setAutoFillBackground(true);
    setPalette(darkPanelPalette(palette()));

    asks_->setObjectName(QStringLiteral("approvalAsks"));
    asks_->setWordWrap(true);
    headline_->setObjectName(QStringLiteral("approvalHeadline"));
    headline_->setWordWrap(true);
    QFont big = headline_->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    headline_->setFont(big);
    why_->setObjectName(QStringLiteral("approvalWhy"));
    why_->setText(qs(UIStrings::v3Why));
    why_->setAccessibleName(qs(UIStrings::v3Why));
    why_->setCheckable(true);
    why_->setAutoRaise(true);
    why_->setCursor(Qt::PointingHandCursor);
    whyText_->hide();
    severity_->setObjectName(QStringLiteral("approvalSeverity"));
    severity_->setTextFormat(Qt::RichText);
    folder_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summaryHeading_->setText(qs(UIStrings::whatAgentWants));
    summary_->setObjectName(QStringLiteral("approvalSummary"));
    summary_->setAccessibleName(qs(UIStrings::whatAgentWants));
    summary_->setReadOnly(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    summary_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    summary_->setFrameShape(QFrame::NoFrame);
    summary_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    summary_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summary_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    countdown_->setObjectName(QStringLiteral("approvalCountdown"));
    QPalette amber = countdown_->palette();
    amber.setColor(QPalette::WindowText, theme::askColor().lighter(120));
    countdown_->setPalette(amber);
    arming_->setText(qs(UIStrings::approvalArming));
    linesBelow_->hide();
    open_->setObjectName(QStringLiteral("approvalOpen"));
    open_->setAccessibleName(qs(UIStrings::v2Open));
    open_->setFlat(true);
    open_->setAutoDefault(false);
    open_->setFocusPolicy(Qt::TabFocus);
    allow_->setAccessibleName(qs(UIStrings::v3Allow));
    deny_->setAccessibleName(qs(UIStrings::v3DontAllow));
    // Shortcuts rather than mnemonics: a mnemonic clicks a tenth of a second later, a shortcut
    // answers at once, through the same arming gate as a click.
    auto* allowKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_A), this);
    connect(allowKey, &QShortcut::activated, this, [this] { answer(true); });
    auto* denyKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_D), this);
    connect(denyKey, &QShortcut::activated, this, [this] { answer(false); });
    allow_->setToolTip(qs(UIStrings::approvalAnswerKeys));
    deny_->setToolTip(qs(UIStrings::approvalAnswerKeys));

    auto* column = new QVBoxLayout(question_);
    column->setContentsMargins(24, 20, 24, 16);
    column->setSpacing(8);
    column->addWidget(queueLine_);
    column->addWidget(asks_);
    auto* headlineRow = new QHBoxLayout;
    headlineRow->setSpacing(8);
    headlineRow->addWidget(headline_, 1);
    headlineRow->addWidget(why_, 0, Qt::AlignTop);
    column->addLayout(headlineRow);
    column->addWidget(whyText_);
    auto* facts = new QHBoxLayout;
    facts->setSpacing(16);
    facts->addWidget(severity_, 0, Qt::AlignTop);
    facts->addWidget(folder_, 1);
    column->addLayout(facts);
    column->addSpacing(4);
    column->addWidget(summaryHeading_);
    column->addWidget(summary_);
    column->addWidget(linesBelow_);
    column->addWidget(breakdown_);
    column->addWidget(countdown_);
    column->addWidget(helper_);
    column->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(open_);
    buttons->addStretch(1);
    buttons->addWidget(deny_);
    buttons->addWidget(allow_);
    column->addWidget(arming_);
    column->addLayout(buttons);
    // Tab walks down the page, and reaches the safe answer before the one that lets it run.
    QWidget::setTabOrder(summary_, why_);
    QWidget::setTabOrder(why_, helper_->findChild<QToolButton*>(QStringLiteral("helperAsk")));
    QWidget::setTabOrder(helper_->findChild<QToolButton*>(QStringLiteral("helperAsk")), deny_);
    QWidget::setTabOrder(deny_, allow_);
    QWidget::setTabOrder(allow_, open_);

    auto* emptyColumn = new QVBoxLayout(empty_);
    emptyColumn->setContentsMargins(24, 24, 24, 24);
    auto* nothing = new QLabel(qs(UIStrings::noPending), empty_);
    nothing->setObjectName(QStringLiteral("approvalEmpty"));
    nothing->setAlignment(Qt::AlignCenter);
    nothing->setWordWrap(true);
    emptyOpen_->setObjectName(QStringLiteral("approvalEmptyOpen"));
    emptyOpen_->setAccessibleName(qs(UIStrings::v2Open));
    emptyOpen_->setAutoDefault(false);
    emptyColumn->addStretch(1);
    emptyColumn->addWidget(nothing);
    emptyColumn->addSpacing(8);
    emptyColumn->addWidget(emptyOpen_, 0, Qt::AlignCenter);
    emptyColumn->addStretch(1);

    pages_->addWidget(question_);
    pages_->addWidget(empty_);
    setLayout(pages_);

    connect(allow_, &QPushButton::clicked, this, [this] { answer(true); });
    connect(deny_, &QPushButton::clicked, this, [this] { answer(false); });
    connect(open_, &QPushButton::clicked, this, [this] { context_.store.openDashboardWindow(); });
    connect(emptyOpen_, &QPushButton::clicked, this, [this] { context_.store.openDashboardWindow(); });
    connect(why_, &QToolButton::toggled, this, [this](bool on) {
        whyOpen_ = on;
        whyText_->setVisible(on);
    });
    connect(gate_, &ArmingGate::changed, this, &ApprovalPanel::syncButtons);
    connect(summary_->verticalScrollBar(), &QScrollBar::valueChanged, this, &ApprovalPanel::showLinesBelow);
    connect(summary_->verticalScrollBar(), &QScrollBar::rangeChanged, this, &ApprovalPanel::showLinesBelow);
    connect(&context_.watcher, &StoreWatcher::changed, this, [this] {
        if (isVisible()) redraw();
    });
    redraw();
}

void ApprovalPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    redraw();
    // Each time the panel comes up its answers arm again, whatever was armed before.
    if (shownId_) gate_->arm();
    summary_->setFocus(Qt::OtherFocusReason);
}

void ApprovalPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // The shortcuts' keys, when they arrive as plain key presses (no active window to match).
    if (event->modifiers() == Qt::AltModifier && (event->key() == Qt::Key_A || event->key() == Qt::Key_D)) {
        answer(event->key() == Qt::Key_A);
        return;
    }
    // Enter and Return answer nothing: there is no default button.
    QWidget::keyPressEvent(event);
}

void ApprovalPanel::redraw() {
    const auto& store = context_.store;
    if (store.pending.empty()) {
        shownId_.reset();
        pages_->setCurrentWidget(empty_);
        return;
    }
    pages_->setCurrentWidget(question_);
    const PendingAsk& top = store.pending.front();
    const ApprovalRequest& request = top.request;
    const bool newTop = shownId_ != request.id;
    if (newTop) {
        shownId_ = request.id;
        const RiskStory& story = UIStrings::riskStory(request.rule);
        const auto agent = UIStrings::agentName(request.agent.agent);
        setPlainText(asks_, UIStrings::v3AskSentence(agent, request.rule));
        setPlainText(headline_, story.headline);
        setPlainText(whyText_, std::string(story.why) + " " + std::string(story.allowOnce));
        why_->setChecked(false);
        severity_->setText(QStringLiteral("%1 <b style=\"color:%2\">%3</b>")
                               .arg(qs(UIStrings::approvalRiskLevel), severityColour(request.severity),
                                    qs(UIStrings::severityName(request.severity))));
        setPlainText(folder_, request.agent.cwd.empty()
                                  ? std::string()
                                  : std::string(UIStrings::approvalWorkingFolder) + " " + request.agent.cwd);
        folder_->setVisible(!request.agent.cwd.empty());
        summary_->setPlainText(visible(request.actionSummary));
        breakdown_->setParts(request.breakdown);
        // A new question is a new subject, even under the same rule: the last answer goes.
        helper_->startOver({UIStrings::approvalHelperPrompt(story.headline), UIStrings::storyFallback(story)});
        fitSummary();
        if (isVisible()) gate_->arm();
    }
    const auto waiting = static_cast<long long>(store.pending.size());
    queueLine_->setVisible(waiting > 1);
    if (waiting > 1) setPlainText(queueLine_, UIStrings::approvalQueueLine(waiting));
    const std::chrono::duration<double> left = top.deadline - store.now;
    const auto seconds = std::max(0LL, static_cast<long long>(std::ceil(left.count())));
    countdown_->setText(qs(UIStrings::countdownLine(seconds)));
    syncButtons();
}

void ApprovalPanel::fitSummary() {
    // As tall as the whole action up to eight lines, scrolling beyond that: never cut off, and
    // a short command does not leave an empty box.
    const QFontMetrics metrics(summary_->font());
    const int margin = static_cast<int>(summary_->document()->documentMargin());
    const int width = std::max(summary_->viewport()->width(), 200) - 2 * margin;
    const QRect text = metrics.boundingRect(QRect(0, 0, width, 100000), Qt::TextWrapAnywhere, summary_->toPlainText());
    const int lines = std::clamp(text.height() / std::max(1, metrics.lineSpacing()), 1, 8);
    summary_->setFixedHeight(lines * metrics.lineSpacing() + 2 * margin + 4);
}

void ApprovalPanel::showLinesBelow() {
    // The plain text view scrolls by lines as laid out, so the bar's distance to its end is the
    // number of lines below the visible ones.
    const QScrollBar* bar = summary_->verticalScrollBar();
    const int below = bar->maximum() - bar->value();
    linesBelow_->setVisible(below > 0);
    if (below > 0) setPlainText(linesBelow_, UIStrings::linesBelow(below));
}

void ApprovalPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitSummary();
}

void ApprovalPanel::syncButtons() {
    const bool open = gate_->open() && shownId_.has_value();
    allow_->setEnabled(open);
    deny_->setEnabled(open);
    arming_->setVisible(!gate_->open());
}

void ApprovalPanel::answer(bool allow) {
    auto& store = context_.store;
    if (!gate_->open() || store.pending.empty() || store.pending.front().request.id != shownId_) return;
    const ApprovalRequest request = store.pending.front().request;
    store.answer(request, allow ? ApprovalVerdict::allowOnce : ApprovalVerdict::deny);
}

}  // namespace vardex::ui
