#include "ui/screens/main_window/sidebar.hpp"

#include <QEvent>
#include <QSignalBlocker>
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

// The selected entry is one highlighted row, its glyph inside the highlight: styles that draw
// the selection behind the text alone would leave the glyph in a box of its own beside it.
class EntryDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->showDecorationSelected = true;
    }
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
