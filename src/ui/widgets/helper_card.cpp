#include "ui/widgets/helper_card.hpp"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/helper/local_helper.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

HelperCard::HelperCard(HelperModel& model, const Preferences& preferences, Texts texts, bool compact, QWidget* parent)
    : QFrame(parent),
      model_(model),
      preferences_(preferences),
      texts_(std::move(texts)),
      compact_(compact),
      ask_(new QToolButton(this)),
      answer_(new QLabel(this)) {
    setObjectName(QStringLiteral("helperCard"));
    ask_->setObjectName(QStringLiteral("helperAsk"));
    ask_->setText(qs(UIStrings::v3HelperAsk));
    ask_->setAccessibleName(qs(UIStrings::v3HelperAsk));
    paintIcon();
    ask_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ask_->setAutoRaise(compact);
    answer_->setObjectName(QStringLiteral("helperAnswer"));
    answer_->setTextFormat(Qt::PlainText);
    answer_->setWordWrap(true);
    answer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    answer_->hide();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(compact ? 0 : 10, compact ? 0 : 8, compact ? 0 : 10, compact ? 0 : 8);
    column->setSpacing(4);
    if (compact) {
        column->addWidget(ask_, 0, Qt::AlignLeft);
    } else {
        setFrameShape(QFrame::StyledPanel);
        auto* heading = new QLabel(qs(UIStrings::v3Helper), this);
        heading->setObjectName(QStringLiteral("helperHeading"));
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        auto* note = new QLabel(qs(UIStrings::v3HelperNote), this);
        note->setObjectName(QStringLiteral("helperNote"));
        note->setWordWrap(true);
        QPalette soft = note->palette();
        soft.setColor(QPalette::WindowText, theme::secondaryText(soft));
        note->setPalette(soft);
        column->addWidget(heading);
        column->addWidget(note);
        column->addWidget(ask_, 0, Qt::AlignLeft);
    }
    column->addWidget(answer_);

    connect(ask_, &QToolButton::clicked, this, [this] { helper_->explain(texts_.prompt, texts_.fallback); });
    makeHelper();
}

void HelperCard::makeHelper() {
    // The old helper goes with its reply: a late answer for the old texts finds no one.
    delete helper_;
    helper_ = new LocalHelper(model_, preferences_, this);
    connect(helper_, &LocalHelper::changed, this, &HelperCard::redraw);
    redraw();
}

void HelperCard::setTexts(Texts texts) {
    if (texts.prompt == texts_.prompt && texts.fallback == texts_.fallback) return;
    startOver(std::move(texts));
}

void HelperCard::startOver(Texts texts) {
    texts_ = std::move(texts);
    makeHelper();
}

void HelperCard::paintIcon() {
    ask_->setIcon(symbolIcon(compact_ ? "sparkles" : "questionmark.bubble", palette().color(QPalette::Highlight)));
}

void HelperCard::changeEvent(QEvent* event) {
    QFrame::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) paintIcon();
}

void HelperCard::redraw() {
    ask_->setEnabled(!helper_->busy());
    const auto& answer = helper_->answer();
    answer_->setVisible(answer.has_value());
    answer_->setText(answer ? qs(*answer) : QString());
}

}  // namespace vardex::ui
