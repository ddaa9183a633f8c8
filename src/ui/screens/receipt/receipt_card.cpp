#include "ui/screens/receipt/receipt_card.hpp"

#include <chrono>

#include <QBuffer>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

// The card looks like paper in both colour schemes, so its colours are its own.
const QColor paper{0xfb, 0xfa, 0xf6};
const QColor ink{0x1d, 0x1d, 0x1f};
const QColor faded{0x6e, 0x6e, 0x73};
constexpr int margin = 24;

QLabel* inked(QWidget* parent, const QColor& color, int pointDelta, bool bold, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    font.setBold(bold);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

QString countLine(std::string_view word, long long count) {
    return qs(word) + QStringLiteral(": ") + QString::number(count);
}

}  // namespace

ReceiptCard::ReceiptCard(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("receiptCard"));
    setFixedWidth(cardWidth);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, paper);
    setPalette(palette);
    setFrameShape(QFrame::Box);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(8);
    auto* title = inked(this, faded, 0, true, "receiptTitle");
    title->setText(qs(UIStrings::v2DailyReceipt));
    badge_ = inked(this, QColor(Qt::white), -1, true, "receiptBadge");
    badge_->setText(qs(UIStrings::exampleBadge));
    badge_->setWordWrap(false);
    badge_->setAutoFillBackground(true);
    QPalette badgePalette = badge_->palette();
    badgePalette.setColor(QPalette::Window, theme::askColor());
    badge_->setPalette(badgePalette);
    badge_->setContentsMargins(6, 2, 6, 2);
    auto* head = new QHBoxLayout;
    head->addWidget(title, 1);
    head->addWidget(badge_, 0, Qt::AlignTop);
    column->addLayout(head);
    date_ = inked(this, ink, 4, true, "receiptDate");
    column->addWidget(date_);
    checked_ = inked(this, ink, 0, false, "receiptChecked");
    asked_ = inked(this, ink, 0, false, "receiptAsked");
    blocked_ = inked(this, ink, 0, false, "receiptBlocked");
    column->addWidget(checked_);
    column->addWidget(asked_);
    column->addWidget(blocked_);
    agents_ = inked(this, ink, 0, false, "receiptAgents");
    column->addWidget(agents_);
    auto* catchTitle = inked(this, faded, 0, true, "receiptTopCatchTitle");
    catchTitle->setText(qs(UIStrings::v2TopCatch));
    column->addWidget(catchTitle);
    topCatch_ = inked(this, ink, 0, false, "receiptTopCatch");
    column->addWidget(topCatch_);
    auto* footer = inked(this, faded, -1, false, "receiptFooter");
    footer->setText(qs(UIStrings::onDeviceFooter));
    column->addWidget(footer);
    logHead_ = inked(this, faded, -1, false, "receiptLogHead");
    logHead_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(logHead_);
}

void ReceiptCard::setData(const ReceiptData& receipt) {
    badge_->setVisible(receipt.example);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(receipt.date.time_since_epoch()).count();
    date_->setText(QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).date(), QLocale::LongFormat));
    checked_->setText(countLine(UIStrings::v2Checked, receipt.checked));
    asked_->setText(countLine(UIStrings::v2Asked, receipt.asked));
    blocked_->setText(countLine(UIStrings::v2Blocked, receipt.blocked));
    QStringList names;
    for (const auto& name : receipt.agents) names << qs(name);
    agents_->setText(names.isEmpty() ? qs(UIStrings::receiptAgentsNone)
                                     : qs(UIStrings::v2Agents) + QStringLiteral(": ") + names.join(QStringLiteral(", ")));
    topCatch_->setText(qs(receipt.topCatch ? std::string_view(*receipt.topCatch) : UIStrings::v2NoCatch));
    logHead_->setVisible(receipt.logHead.has_value());
    logHead_->setText(receipt.logHead ? qs(UIStrings::receiptLogHead(*receipt.logHead)) : QString());
    // The wrapped lines keep the height they take at the card's width, wherever the card stands.
    const int textWidth = cardWidth - 2 * margin;
    for (QLabel* wrapped : {date_, agents_, topCatch_}) wrapped->setMinimumHeight(wrapped->heightForWidth(textWidth));
    adjustSize();
}

std::optional<std::string> renderReceiptPng(const ReceiptData& data) {
    ReceiptCard card;
    card.setData(data);
    card.ensurePolished();
    // The width is fixed; the height follows the wrapped texts at that width.
    card.adjustSize();
    const QSize size = card.size();
    QPixmap pixmap(size * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    card.render(&pixmap);
    if (pixmap.isNull()) return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!pixmap.toImage().save(&buffer, "PNG") || bytes.isEmpty()) return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace vardex::ui
