#include "ui/screens/main_window/sidebar.hpp"

#include <QSignalBlocker>

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
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Window);
    for (const auto page : VardexPages::visiblePages) {
        auto* item = new QListWidgetItem(entryIcon(symbolName(page), palette()), qs(UIStrings::pageTitle(page)), this);
        item->setData(pageRole, static_cast<int>(page));
        item->setSizeHint(QSize(0, 36));
    }
    if (preferenceSet(preferences, "talkPreview")) {
        const QString text = qs(UIStrings::v3Talk) + QStringLiteral(" · ") + qs(UIStrings::v3ComingSoon);
        auto* talk = new QListWidgetItem(entryIcon("sparkles", palette()), text, this);
        talk->setFlags(Qt::NoItemFlags);
        talk->setData(pageRole, -1);
        talk->setSizeHint(QSize(0, 36));
    }
    connect(this, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!item) return;
        const int page = item->data(pageRole).toInt();
        if (page >= 0) Q_EMIT pageChosen(static_cast<VardexPage>(page));
    });
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
