#include "ui/screens/main_window/pages/page.hpp"

#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/store_follower.hpp"

namespace vardex::ui {

Page::Page(ScreenContext& context, VardexPage page, QWidget* parent)
    : QWidget(parent), context_(context), page_(page), column_(nullptr) {
    setObjectName(QStringLiteral("page_") + QString::fromLatin1(wireText(page).data(),
                                                                 static_cast<qsizetype>(wireText(page).size())));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("pageScroll"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto* body = new QWidget(scroll);
    body->setObjectName(QStringLiteral("pageBody"));
    column_ = new QVBoxLayout(body);
    column_->setContentsMargins(4 * kit::grid, 3 * kit::grid, 4 * kit::grid, 3 * kit::grid);
    column_->setSpacing(2 * kit::grid);
    auto* title = kit::heading(UIStrings::pageTitle(page), body);
    title->setObjectName(QStringLiteral("pageTitle"));
    column_->addWidget(title);
    if (const auto subtitle = UIStrings::pageSubtitle(page); !subtitle.empty()) {
        auto* line = kit::paragraph(subtitle, body, true);
        line->setObjectName(QStringLiteral("pageSubtitle"));
        column_->addWidget(line);
        column_->setSpacing(2 * kit::grid);
    }
    scroll->setWidget(body);
}

void Page::ready(StoreSlices reads) {
    column_->addStretch(1);
    auto* follower = new StoreFollower(context_.watcher, *this, reads, {[this] { redraw(); }, [this] { clockMoved(); }});
    follower->catchUp();
}

}  // namespace vardex::ui
