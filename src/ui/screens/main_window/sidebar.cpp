#include "ui/screens/main_window/sidebar.hpp"

#include <QSignalBlocker>

#include "store/preferences.hpp"
#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"

namespace vardex::ui {

namespace {

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
    const QColor tint = palette().color(QPalette::Highlight);
    for (const auto page : VardexPages::visiblePages) {
        auto* item = new QListWidgetItem(symbolIcon(symbolName(page), tint), qs(UIStrings::pageTitle(page)), this);
        item->setData(pageRole, static_cast<int>(page));
        item->setSizeHint(QSize(0, 36));
    }
    if (preferenceSet(preferences, "talkPreview")) {
        const QString text = qs(UIStrings::v3Talk) + QStringLiteral(" · ") + qs(UIStrings::v3ComingSoon);
        auto* talk = new QListWidgetItem(symbolIcon("sparkles", tint), text, this);
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
