#include "ui/screens/main_window/sidebar.hpp"

#include <QEvent>
#include <QSignalBlocker>
#include <QPainter>
#include <QStyledItemDelegate>

#include "store/preferences.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"

namespace vardex::ui {

namespace {

// A glyph in the accent colour, turning to the highlighted-text colour on the selected row so it
// never vanishes into the selection.
QIcon entryIcon(std::string_view symbol, const QPalette& palette) {
    QIcon icon;
    for (const int side : {18, 36}) {
        icon.addPixmap(symbolIcon(symbol, palette.color(QPalette::Highlight)).pixmap(side, side), QIcon::Normal);
        icon.addPixmap(symbolIcon(symbol, palette.color(QPalette::HighlightedText), palette.color(QPalette::Highlight))
                           .pixmap(side, side),
                       QIcon::Selected);
    }
    return icon;
}

constexpr int pageRole = Qt::UserRole + 1;
constexpr int symbolRole = Qt::UserRole + 2;

// An entry is its glyph and title; the selected one sits on one rounded highlight, inset from
// the edges, its glyph inside it (styles that highlight the text alone leave the glyph in a box
// of its own).
class EntryDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem entry(option);
        initStyleOption(&entry, index);
        const bool selected = entry.state.testFlag(QStyle::State_Selected);
        const bool enabled = entry.state.testFlag(QStyle::State_Enabled) && (index.flags() & Qt::ItemIsEnabled);
        const QRect box = entry.rect.adjusted(inset, 1, -inset, -1);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        if (selected) {
            painter->setBrush(entry.palette.color(QPalette::Highlight));
            painter->drawRoundedRect(box, 6, 6);
        } else if (enabled && entry.state.testFlag(QStyle::State_MouseOver)) {
            QColor hover = entry.palette.color(QPalette::Highlight);
            hover.setAlpha(40);
            painter->setBrush(hover);
            painter->drawRoundedRect(box, 6, 6);
        }
        const QSize glyph = entry.decorationSize;
        const QRect glyphBox(box.left() + padding, box.center().y() - glyph.height() / 2, glyph.width(), glyph.height());
        entry.icon.paint(painter, glyphBox, Qt::AlignCenter,
                         selected ? QIcon::Selected : (enabled ? QIcon::Normal : QIcon::Disabled));
        const QRect textBox = box.adjusted(padding + glyph.width() + padding, 0, -padding, 0);
        const QPalette::ColorGroup group = enabled ? QPalette::Active : QPalette::Disabled;
        painter->setPen(entry.palette.color(group, selected ? QPalette::HighlightedText : QPalette::WindowText));
        painter->setFont(entry.font);
        painter->drawText(textBox, Qt::AlignVCenter | Qt::AlignLeft,
                          entry.fontMetrics.elidedText(entry.text, Qt::ElideRight, textBox.width()));
        painter->restore();
    }

private:
    static constexpr int inset = 8;
    static constexpr int padding = 10;
};

bool preferenceSet(const Preferences& preferences, const std::string& key) {
    const auto value = preferences.value(key);
    const bool* flag = value ? std::get_if<bool>(&*value) : nullptr;
    return flag && *flag;
}

}  // namespace

Sidebar::Sidebar(const Preferences& preferences, QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("sidebar"));
    setAccessibleName(qs(UIStrings::product));
    setFixedWidth(216);
    setIconSize(QSize(18, 18));
    setSpacing(2);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new EntryDelegate(this));
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Window);
    for (const auto page : VardexPages::visiblePages) {
        auto* item = new QListWidgetItem(entryIcon(symbolName(page), palette()), qs(UIStrings::pageTitle(page)), this);
        item->setData(pageRole, static_cast<int>(page));
        item->setData(symbolRole, qs(symbolName(page)));
        item->setSizeHint(QSize(0, 36));
    }
    if (preferenceSet(preferences, "talkPreview")) {
        const QString text = qs(UIStrings::v3Talk) + QStringLiteral(" · ") + qs(UIStrings::v3ComingSoon);
        auto* talk = new QListWidgetItem(entryIcon("sparkles", palette()), text, this);
        talk->setFlags(Qt::NoItemFlags);
        talk->setData(pageRole, -1);
        talk->setData(symbolRole, QStringLiteral("sparkles"));
        talk->setSizeHint(QSize(0, 36));
    }
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!item) return;
        const int page = item->data(pageRole).toInt();
        if (page >= 0) Q_EMIT pageChosen(static_cast<VardexPage>(page));
    });
}

void Sidebar::changeEvent(QEvent* event) {
    QListWidget::changeEvent(event);
    if (event->type() != QEvent::PaletteChange) return;
    for (int row = 0; row < count(); ++row) {
        item(row)->setIcon(entryIcon(utf8(item(row)->data(symbolRole).toString()), palette()));
    }
}

void Sidebar::select(VardexPage page) {
    const QSignalBlocker quiet(this);
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(pageRole).toInt() == static_cast<int>(page)) {
            setCurrentRow(row);
            return;
        }
    }
    setCurrentRow(-1);
}

}  // namespace vardex::ui
