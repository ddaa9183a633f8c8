#include "ui/screens/main_window/page_kit.hpp"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui::kit {

void tint(QWidget* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
}

QLabel* heading(std::string_view text, QWidget* parent, int pointDelta) {
    auto* label = new QLabel(parent);
    setPlainText(label, text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

QLabel* paragraph(std::string_view text, QWidget* parent, bool secondary) {
    auto* label = new QLabel(parent);
    setPlainText(label, text);
    label->setWordWrap(true);
    if (secondary) tint(label, theme::secondaryText(label->palette()));
    return label;
}

QLabel* sectionTitle(std::string_view text, QWidget* parent) { return heading(text, parent, 2); }

QLabel* errorLine(const char* objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    // What the store refused often quotes the engine's own words.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    tint(label, theme::denyColor());
    label->hide();
    return label;
}

void showError(QLabel* line, const QString& text) {
    line->setText(text);
    line->setVisible(!text.isEmpty());
}

QFrame* card(QWidget* parent, QVBoxLayout** column) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("card"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(2 * grid, 2 * grid, 2 * grid, 2 * grid);
    layout->setSpacing(grid);
    if (column) *column = layout;
    return frame;
}

QPushButton* button(const char* objectName, std::string_view text, QWidget* parent, bool primary) {
    auto* push = new QPushButton(qs(text), parent);
    push->setObjectName(QString::fromLatin1(objectName));
    push->setAccessibleName(qs(text));
    push->setDefault(primary);
    push->setAutoDefault(false);
    return push;
}

QPushButton* symbolButton(const char* objectName, std::string_view text, std::string_view symbol, QWidget* parent,
                          bool primary) {
    auto* push = button(objectName, text, parent, primary);
    push->setIcon(symbolIcon(symbol, push->palette().color(QPalette::ButtonText)));
    return push;
}

void clear(QLayout* layout) {
    while (QLayoutItem* item = layout->takeAt(0)) {
        // Taken out of the tree at once (a search no longer finds it) but deleted later, since
        // the click that caused the redraw may still be running in one of its buttons.
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        if (QLayout* inner = item->layout()) clear(inner);
        delete item;
    }
}

void showBusy(QAbstractButton* button, bool busy, std::string_view idleText, std::string_view busyText) {
    button->setEnabled(!busy);
    const QString text = qs(busy ? busyText : idleText);
    if (button->text() != text) button->setText(text);
}

void setTextKeepingCursor(QWidget* field, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(field); line && line->text() != text) line->setText(text);
}

}  // namespace vardex::ui::kit
