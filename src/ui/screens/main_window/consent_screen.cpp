#include "ui/screens/main_window/consent_screen.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

ConsentScreen::ConsentScreen(ScreenContext& context, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("consentScreen"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(15 * kit::grid, 8 * kit::grid, 15 * kit::grid, 8 * kit::grid);
    column->setSpacing(2 * kit::grid);
    column->addStretch(1);
    auto* mark = new QLabel(this);
    mark->setPixmap(symbolIcon("lock.shield", theme::allowColor()).pixmap(64, 64));
    column->addWidget(mark, 0, Qt::AlignHCenter);
    auto* title = kit::heading(UIStrings::connectConsentTitle, this, 8);
    title->setObjectName(QStringLiteral("consentTitle"));
    title->setAlignment(Qt::AlignHCenter);
    column->addWidget(title);
    auto* body = kit::paragraph(UIStrings::connectConsentBody, this, true);
    body->setObjectName(QStringLiteral("consentBody"));
    body->setAlignment(Qt::AlignHCenter);
    column->addWidget(body);
    auto* connectButton = kit::button("consentConnect", UIStrings::connectApp, this, true);
    connectButton->setMinimumWidth(20 * kit::grid);
    column->addSpacing(kit::grid);
    column->addWidget(connectButton, 0, Qt::AlignHCenter);
    column->addStretch(2);
    connect(connectButton, &QPushButton::clicked, this, [&context] { context.store.acceptConnectConsent(); });
}

}  // namespace vardex::ui
