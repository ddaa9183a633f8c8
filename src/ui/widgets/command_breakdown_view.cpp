#include "ui/widgets/command_breakdown_view.hpp"

#include <QFontDatabase>
#include <QLabel>
#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {
namespace {

// A popover row has room for about two lines of a flagged command; the panel shows it whole.
constexpr qsizetype compactCharacters = 100;

// The start of a command and how much of it is left out, never a cut middle.
QString startOf(const QString& text) {
    if (text.size() <= compactCharacters) return text;
    return text.left(compactCharacters) + QLatin1Char(' ') + qs(UIStrings::moreCharacters(text.size() - compactCharacters));
}

QLabel* wrappedLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void soften(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

}  // namespace

CommandBreakdownView::CommandBreakdownView(bool compact, QWidget* parent)
    : QWidget(parent), compact_(compact), column_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("commandBreakdown"));
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(compact ? 2 : 4);
    hide();
}

void CommandBreakdownView::setParts(const std::vector<CommandPart>& parts) {
    if (parts == parts_) return;
    parts_ = parts;
    redraw();
}

void CommandBreakdownView::redraw() {
    while (auto* item = column_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const bool anyFlagged = std::any_of(parts_.begin(), parts_.end(), [](const CommandPart& p) { return p.flagged; });
    setVisible(compact_ ? anyFlagged : parts_.size() > 1 || anyFlagged);
    if (!isVisibleTo(parentWidget())) return;

    const QColor soft = theme::secondaryText(palette());
    if (!compact_) {
        auto* heading = wrappedLabel(QStringLiteral("breakdownHeading"), this);
        heading->setText(qs(UIStrings::breakdownHeading));
        soften(heading, soft);
        column_->addWidget(heading);
    }
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        const auto& part = parts_[i];
        if (compact_ && !part.flagged) continue;
        auto* command = wrappedLabel(QStringLiteral("breakdownPart%1").arg(i), this);
        QFont font = fixed;
        font.setBold(part.flagged);
        command->setFont(font);
        const QString prefix = part.piped ? QStringLiteral("| ") : QString();
        command->setText(prefix + (compact_ ? startOf(visible(part.text)) : visible(part.text)));
        command->setAccessibleName(qs(UIStrings::breakdownHeading) + QStringLiteral(" %1: ").arg(i + 1) + visible(part.text));
        column_->addWidget(command);
        QStringList lines;
        if (part.flagged) lines << qs(UIStrings::breakdownFlagged);
        for (const auto& note : part.notes) lines << visible(note);
        if (lines.isEmpty()) continue;
        auto* notes = wrappedLabel(QStringLiteral("breakdownNotes%1").arg(i), this);
        notes->setText(lines.join(QStringLiteral(" · ")));
        soften(notes, part.flagged ? theme::askColor() : soft);
        column_->addWidget(notes);
    }
}

}  // namespace vardex::ui
