#include "ui/screens/main_window/pages/rules_page.hpp"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
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
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QColor decisionTint(const std::string& decision) {
    if (decision == "allow") return theme::allowColor();
    if (decision == "ask") return theme::askColor();
    return theme::denyColor();
}

std::string_view decisionWord(const std::string& decision) {
    if (decision == "allow") return UIStrings::v2Pill(Outcome::allow);
    if (decision == "ask") return UIStrings::v2Pill(Outcome::ask);
    return UIStrings::v2Pill(Outcome::deny);
}

constexpr int switchColumn = 12 * kit::grid;

}  // namespace

RulesPage::RulesPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::rules, parent) {
    preview_ = new PolicyPreviewBar(store(), this);
    column().addWidget(preview_);
    QVBoxLayout* listColumn = nullptr;
    auto* list = kit::card(this, &listColumn);
    list->setObjectName(QStringLiteral("rulesList"));
    listColumn->addWidget(kit::paragraph(UIStrings::rulesWhy, list, true));
    rules_ = new QVBoxLayout;
    rules_->setSpacing(kit::grid);
    listColumn->addLayout(rules_);
    column().addWidget(list);

    QVBoxLayout* formColumn = nullptr;
    auto* formCard = kit::card(this, &formColumn);
    formCard->setObjectName(QStringLiteral("addRuleForm"));
    formColumn->addWidget(kit::sectionTitle(UIStrings::addSafetyRule, formCard));
    formColumn->addWidget(kit::paragraph(UIStrings::addCustomRuleWhy, formCard, true));
    auto* form = new QFormLayout;
    form->setHorizontalSpacing(2 * kit::grid);
    form->setVerticalSpacing(kit::grid);
    name_ = new QLineEdit(formCard);
    name_->setObjectName(QStringLiteral("ruleName"));
    name_->setAccessibleName(qs(UIStrings::ruleName));
    name_->setPlaceholderText(qs(UIStrings::ruleNamePlaceholder));
    watch_ = new QLineEdit(formCard);
    watch_->setObjectName(QStringLiteral("ruleWatch"));
    watch_->setAccessibleName(qs(UIStrings::ruleWatch));
    watch_->setPlaceholderText(qs(UIStrings::ruleWhatPlaceholder));
    kind_ = new QComboBox(formCard);
    kind_->setObjectName(QStringLiteral("ruleKind"));
    kind_->setAccessibleName(qs(UIStrings::ruleMatchKind));
    kind_->addItem(qs(UIStrings::matchPath), static_cast<int>(UserRule::MatchKind::paths));
    kind_->addItem(qs(UIStrings::matchProgram), static_cast<int>(UserRule::MatchKind::program));
    kind_->addItem(qs(UIStrings::matchRaw), static_cast<int>(UserRule::MatchKind::raw));
    decision_ = new QComboBox(formCard);
    decision_->setObjectName(QStringLiteral("ruleDecision"));
    decision_->setAccessibleName(qs(UIStrings::decision));
    decision_->addItem(qs(UIStrings::block), QStringLiteral("deny"));
    decision_->addItem(qs(UIStrings::decisionAsk), QStringLiteral("ask"));
    form->addRow(qs(UIStrings::ruleName), name_);
    form->addRow(qs(UIStrings::ruleWatch), watch_);
    form->addRow(qs(UIStrings::ruleMatchKind), kind_);
    form->addRow(qs(UIStrings::decision), decision_);
    formColumn->addLayout(form);
    error_ = kit::errorLine("ruleError", formCard);
    formColumn->addWidget(error_);
    add_ = kit::button("addRule", UIStrings::addRule, formCard, true);
    formColumn->addWidget(add_, 0, Qt::AlignRight);
    column().addWidget(formCard);

    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) { store().customId = utf8(text); });
    connect(watch_, &QLineEdit::textEdited, this, [this](const QString& text) { store().customMatchValue = utf8(text); });
    connect(kind_, &QComboBox::activated, this, [this](int) {
        store().customMatchKind = static_cast<UserRule::MatchKind>(kind_->currentData().toInt());
    });
    connect(decision_, &QComboBox::activated, this, [this](int) { store().customDecision = utf8(decision_->currentData().toString()); });
    connect(add_, &QPushButton::clicked, this, [this] {
        auto& s = store();
        s.customId = utf8(name_->text());
        s.customMatchValue = utf8(watch_->text());
        s.customMatchKind = static_cast<UserRule::MatchKind>(kind_->currentData().toInt());
        s.customDecision = utf8(decision_->currentData().toString());
        s.proposeCustomRule();
    });
    ready({StoreSlice::policy, StoreSlice::screens});
}

void RulesPage::redraw() {
    auto& s = store();
    std::vector<CatalogRule> all = s.catalog.rules;
    all.insert(all.end(), s.catalog.disabled.begin(), s.catalog.disabled.end());
    const auto& switchedOff = s.userPolicy.disable;
    const auto isOn = [&](const CatalogRule& rule) {
        return !rule.disabled && std::find(switchedOff.begin(), switchedOff.end(), rule.id) == switchedOff.end();
    };
    std::vector<std::string> shown;
    for (const auto& rule : all) {
        shown.push_back(rule.id + ' ' + rule.description + ' ' + rule.layerLabel() + ' ' + rule.decision + (rule.canDisable() ? " switch" : ""));
    }
    if (kit::differs(drawnRules_, std::move(shown))) drawRules(all);
    for (const auto& rule : all) {
        const auto found = switches_.find(rule.id);
        if (found == switches_.end()) continue;
        found->second->setChecked(isOn(rule));
        found->second->setEnabled(!s.savingPolicy);
    }
    if (!name_->hasFocus()) kit::setTextKeepingCursor(name_, qs(s.customId));
    if (!watch_->hasFocus()) kit::setTextKeepingCursor(watch_, qs(s.customMatchValue));
    kit::showError(error_, s.policyError ? qs(*s.policyError) : QString());
    kit::showBusy(add_, s.savingPolicy, UIStrings::addRule, UIStrings::saving);
    preview_->redraw();
}

void RulesPage::drawRules(const std::vector<CatalogRule>& all) {
    kit::clear(rules_);
    switches_.clear();
    if (all.empty()) {
        auto* none = kit::paragraph(UIStrings::healthUnavailable, this, true);
        none->setObjectName(QStringLiteral("noRules"));
        rules_->addWidget(none);
    }
    for (const auto& rule : all) {
        auto* row = new QWidget(this);
        row->setObjectName(QStringLiteral("rule_") + qs(rule.id));
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(2 * kit::grid);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(0);
        auto* title = kit::paragraph(rule.description.empty() ? rule.id : rule.description, row);
        auto* id = kit::paragraph(rule.id + std::string(UIStrings::logCountSeparator) + rule.layerLabel(), row, true);
        texts->addWidget(title);
        texts->addWidget(id);
        auto* decision = new QLabel(qs(decisionWord(rule.decision)), row);
        decision->setObjectName(QStringLiteral("ruleDecision"));
        kit::tint(decision, decisionTint(rule.decision));
        line->addLayout(texts, 1);
        line->addWidget(decision);
        // The switches and the "Always on" notes line up in one column.
        auto* cell = new QWidget(row);
        cell->setFixedWidth(switchColumn);
        auto* cellRow = new QHBoxLayout(cell);
        cellRow->setContentsMargins(0, 0, 0, 0);
        line->addWidget(cell);
        cellRow->addStretch(1);
        if (rule.canDisable()) {
            auto* toggle = new QCheckBox(qs(UIStrings::on), cell);
            toggle->setObjectName(QStringLiteral("ruleSwitch"));
            toggle->setAccessibleName(title->text());
            switches_[rule.id] = toggle;
            connect(toggle, &QCheckBox::clicked, this, [this, id = rule.id](bool checked) {
                store().proposePolicyEdit([id, checked](UserPolicyFile& policy) { policy.setDisabled(id, !checked); });
            });
            cellRow->insertWidget(0, toggle);
        } else {
            auto* always = kit::paragraph(UIStrings::alwaysOn, cell, true);
            always->setObjectName(QStringLiteral("ruleAlwaysOn"));
            always->setWordWrap(false);
            cellRow->insertWidget(0, always);
        }
        rules_->addWidget(row);
    }
}

}  // namespace vardex::ui
