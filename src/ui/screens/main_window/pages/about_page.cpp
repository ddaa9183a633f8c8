#include "ui/screens/main_window/pages/about_page.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
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

namespace {

// The installed guide beside the program (a relocated install), else under the configured prefix.
QString guidePath() {
    const QString relative = QStringLiteral("/../share/doc/vardex-bar/README.md");
    const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() + relative);
    if (QFileInfo::exists(beside)) return beside;
    return QStringLiteral(VARDEX_INSTALL_PREFIX) + QStringLiteral("/share/doc/vardex-bar/README.md");
}

}  // namespace

AboutPage::AboutPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::about, parent) {
    QVBoxLayout* brandColumn = nullptr;
    auto* brand = kit::card(this, &brandColumn);
    brand->setObjectName(QStringLiteral("brandCard"));
    auto* brandRow = new QHBoxLayout;
    brandRow->setSpacing(2 * kit::grid);
    auto* mark = new QLabel(brand);
    mark->setPixmap(symbolIcon("checkmark.shield.fill", theme::allowColor()).pixmap(56, 56));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(kit::grid / 2);
    texts->addWidget(kit::heading(UIStrings::product, brand, 6));
    auto* tagline = kit::paragraph(UIStrings::mainTagline, brand);
    tagline->setObjectName(QStringLiteral("tagline"));
    texts->addWidget(tagline);
    texts->addWidget(kit::paragraph(UIStrings::supportingTagline, brand, true));
    auto* version = kit::paragraph(UIStrings::versionLine(VARDEX_VERSION), brand, true);
    version->setObjectName(QStringLiteral("versionLine"));
    texts->addWidget(version);
    brandRow->addWidget(mark, 0, Qt::AlignTop);
    brandRow->addLayout(texts, 1);
    brandColumn->addLayout(brandRow);
    column().addWidget(brand);

    QVBoxLayout* actions = nullptr;
    auto* actionCard = kit::card(this, &actions);
    auto* guide = kit::button("openGuide", UIStrings::openGuide, actionCard);
    auto* cli = kit::button("installTerminalTool", UIStrings::installTerminalTool, actionCard);
    auto* turnOff = kit::button("turnOffEveryApp", UIStrings::turnOffEveryApp, actionCard);
    turnOff_ = turnOff;
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(kit::grid);
    buttons->addWidget(guide);
    buttons->addWidget(cli);
    buttons->addStretch(1);
    buttons->addWidget(turnOff);
    actions->addLayout(buttons);
    confirm_ = new QWidget(actionCard);
    confirm_->setObjectName(QStringLiteral("turnOffConfirm"));
    auto* confirmRow = new QHBoxLayout(confirm_);
    confirmRow->setContentsMargins(0, 0, 0, 0);
    confirmRow->addWidget(kit::paragraph(UIStrings::turnOffEveryAppConfirm, confirm_), 1);
    auto* cancel = kit::button("turnOffCancel", UIStrings::cancel, confirm_);
    auto* yes = kit::button("turnOffYes", UIStrings::turnOffEveryApp, confirm_, true);
    confirmRow->addWidget(cancel);
    confirmRow->addWidget(yes);
    actions->addWidget(confirm_);
    column().addWidget(actionCard);

    QVBoxLayout* receiptColumn = nullptr;
    auto* receiptCard = kit::card(this, &receiptColumn);
    receiptColumn->addWidget(kit::heading(UIStrings::checkReceiptTitle, receiptCard, 2));
    receiptColumn->addWidget(kit::paragraph(UIStrings::checkReceiptWhy, receiptCard, true));
    verifyCommand_ = new QLabel(receiptCard);
    verifyCommand_->setObjectName(QStringLiteral("verifyHeadCommand"));
    verifyCommand_->setTextFormat(Qt::PlainText);
    verifyCommand_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    verifyCommand_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    receiptColumn->addWidget(verifyCommand_);
    column().addWidget(receiptCard);
    message_ = kit::paragraph({}, this, true);
    message_->setObjectName(QStringLiteral("lastMessage"));
    column().addWidget(message_);

    connect(guide, &QPushButton::clicked, this, [this] { store().openReadme(utf8(guidePath())); });
    connect(cli, &QPushButton::clicked, this, [this] { store().installCommandLineTool(); });
    connect(turnOff, &QPushButton::clicked, this, [this] {
        store().confirmUninstallAll = true;
        store().publish();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        store().confirmUninstallAll = false;
        store().publish();
    });
    connect(yes, &QPushButton::clicked, this, [this] { store().uninstallAll(); });
    ready({StoreSlice::activity, StoreSlice::screens});
}

void AboutPage::redraw() {
    confirm_->setVisible(store().confirmUninstallAll);
    turnOff_->setVisible(!store().confirmUninstallAll);
    const auto& head = store().auditHead;
    const auto headText = head ? std::optional(logHeadText(*head)) : std::nullopt;
    verifyCommand_->setText(qs(UIStrings::verifyHeadCommand(headText ? std::optional<std::string_view>(*headText) : std::nullopt)));
    kit::showError(message_, store().lastMessage ? qs(*store().lastMessage) : QString());
}

}  // namespace vardex::ui
