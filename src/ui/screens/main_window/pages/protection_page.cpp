#include "ui/screens/main_window/pages/protection_page.hpp"

#include <functional>

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/policy_preview_bar.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/row_name.hpp"
#include "ui/widgets/symbol_icon.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

std::string ruleName(const UserRule& rule) { return rule.values.empty() ? rule.displayName() : rule.values.front(); }

// Rebuilds `list` when its rules differ from those it was drawn from.
void fillRules(QVBoxLayout* list, std::optional<std::vector<std::string>>& drawn, const std::vector<UserRule>& rules,
               std::string_view emptyText, std::string_view symbol, QWidget* parent,
               const std::function<void(const std::string&)>& remove) {
    std::vector<std::string> shown;
    for (const auto& rule : rules) shown.push_back(rule.id + ' ' + ruleName(rule));
    if (!kit::differs(drawn, std::move(shown))) return;
    kit::clear(list);
    if (rules.empty()) {
        auto* none = kit::paragraph(emptyText, parent, true);
        none->setObjectName(QStringLiteral("emptyList"));
        list->addWidget(none);
        return;
    }
    for (const auto& rule : rules) {
        auto* row = new QWidget(parent);
        row->setObjectName(QStringLiteral("rule_") + qs(rule.id));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(kit::grid);
        auto* mark = new QLabel(row);
        mark->setPixmap(symbolIcon(symbol, theme::secondaryText(parent->palette())).pixmap(18, 18));
        auto* name = kit::paragraph(ruleName(rule), row);
        name->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* removeButton = kit::button("removeRule", UIStrings::remove, row);
        removeButton->setAccessibleName(rowName(UIStrings::remove, name->text()));
        line->addWidget(mark);
        line->addWidget(name, 1);
        line->addWidget(removeButton);
        QObject::connect(removeButton, &QPushButton::clicked, row, [remove, id = rule.id] { remove(id); });
        list->addWidget(row);
    }
}

}  // namespace

ProtectionPage::ProtectionPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::protection, parent) {
    preview_ = new PolicyPreviewBar(store(), this);
    column().addWidget(preview_);
    QVBoxLayout* folderColumn = nullptr;
    auto* folderCard = kit::card(this, &folderColumn);
    folderCard->setObjectName(QStringLiteral("foldersCard"));
    auto* folderHead = new QHBoxLayout;
    auto* folderTitles = new QVBoxLayout;
    folderTitles->addWidget(kit::sectionTitle(UIStrings::foldersHeading, folderCard));
    folderTitles->addWidget(kit::paragraph(UIStrings::foldersWhy, folderCard, true));
    addFolder_ = kit::symbolButton("addFolder", UIStrings::addFolder, "plus", folderCard);
    folderHead->addLayout(folderTitles, 1);
    folderHead->addWidget(addFolder_, 0, Qt::AlignTop);
    folderColumn->addLayout(folderHead);
    folders_ = new QVBoxLayout;
    folders_->setSpacing(kit::grid);
    folderColumn->addLayout(folders_);
    column().addWidget(folderCard);

    QVBoxLayout* siteColumn = nullptr;
    auto* siteCard = kit::card(this, &siteColumn);
    siteCard->setObjectName(QStringLiteral("sitesCard"));
    siteColumn->addWidget(kit::sectionTitle(UIStrings::sitesHeading, siteCard));
    siteColumn->addWidget(kit::paragraph(UIStrings::sitesWhy, siteCard, true));
    sites_ = new QVBoxLayout;
    sites_->setSpacing(kit::grid);
    siteColumn->addLayout(sites_);
    auto* addRow = new QHBoxLayout;
    site_ = new QLineEdit(siteCard);
    site_->setObjectName(QStringLiteral("newSite"));
    site_->setAccessibleName(qs(UIStrings::addSite));
    site_->setPlaceholderText(qs(UIStrings::sitePlaceholder));
    addSite_ = kit::button("addSite", UIStrings::addSite, siteCard, true);
    addRow->addWidget(site_, 1);
    addRow->addWidget(addSite_);
    siteColumn->addLayout(addRow);
    column().addWidget(siteCard);
    error_ = kit::errorLine("policyError", this);
    column().addWidget(error_);

    connect(addFolder_, &QPushButton::clicked, this, &ProtectionPage::pickFolder);
    connect(site_, &QLineEdit::textEdited, this, [this](const QString& text) { store().newDomain = utf8(text); });
    const auto add = [this] {
        auto typed = utf8(site_->text());
        store().newDomain = typed;
        store().proposePolicyEdit([typed](UserPolicyFile& policy) { policy.addSite(typed); },
                                  [](VardexStore& later) { later.newDomain.clear(); });
    };
    connect(addSite_, &QPushButton::clicked, this, add);
    connect(site_, &QLineEdit::returnPressed, this, add);
    ready({StoreSlice::policy, StoreSlice::screens});
}

// The picker is a child window that answers later, so the page never waits on it.
void ProtectionPage::pickFolder() {
    auto* dialog = new QFileDialog(this, qs(UIStrings::chooseFolder), QDir::homePath());
    dialog->setObjectName(QStringLiteral("folderPicker"));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        if (folder.isEmpty()) return;
        store().proposePolicyEdit([path = utf8(folder)](UserPolicyFile& policy) { policy.addFolder(path); });
    });
    dialog->open();
}

void ProtectionPage::redraw() {
    auto& s = store();
    const auto remove = [this](const std::string& id) {
        store().proposePolicyEdit([id](UserPolicyFile& policy) { policy.removeRule(id); });
    };
    fillRules(folders_, drawnFolders_, s.userPolicy.folders(), UIStrings::noFolders, "folder", this, remove);
    fillRules(sites_, drawnSites_, s.userPolicy.sites(), UIStrings::noSites, "globe", this, remove);
    // Edits wait for the save before them to finish.
    kit::showBusy(addSite_, s.savingPolicy, UIStrings::addSite, UIStrings::saving);
    addFolder_->setEnabled(!s.savingPolicy);
    for (auto* button : findChildren<QPushButton*>(QStringLiteral("removeRule"))) button->setEnabled(!s.savingPolicy);
    kit::setTextKeepingCursor(site_, qs(s.newDomain));
    kit::showError(error_, s.policyError ? qs(*s.policyError) : QString());
    preview_->redraw();
}

}  // namespace vardex::ui
