#include "ui/screens/main_window/pages/check_page.hpp"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "ui/screens/main_window/page_kit.hpp"
#include "ui/widgets/command_breakdown_view.hpp"
#include "ui/widgets/plain_text.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

QLineEdit* input(const char* objectName, std::string_view accessible, std::string_view placeholder, QWidget* parent) {
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(objectName));
    line->setAccessibleName(qs(accessible));
    line->setPlaceholderText(qs(placeholder));
    return line;
}

QWidget* formPage(QWidget* parent, std::initializer_list<std::pair<std::string_view, QLineEdit*>> rows) {
    auto* page = new QWidget(parent);
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->setHorizontalSpacing(2 * kit::grid);
    form->setVerticalSpacing(kit::grid);
    for (const auto& [label, field] : rows) {
        field->setParent(page);
        form->addRow(qs(label), field);
    }
    return page;
}

}  // namespace

CheckPage::CheckPage(ScreenContext& context, QWidget* parent) : Page(context, VardexPage::check, parent) {
    QVBoxLayout* formColumn = nullptr;
    auto* formCard = kit::card(this, &formColumn);
    formCard->setObjectName(QStringLiteral("checkForm"));
    formColumn->addWidget(kit::paragraph(UIStrings::checkWhy, formCard, true));
    kind_ = new QComboBox(formCard);
    kind_->setObjectName(QStringLiteral("checkKind"));
    kind_->setAccessibleName(qs(UIStrings::decision));
    for (const auto kind : {CheckKind::shell, CheckKind::read, CheckKind::mcp}) {
        kind_->addItem(qs(title(kind)), static_cast<int>(kind));
    }
    formColumn->addWidget(kind_, 0, Qt::AlignLeft);

    shell_ = input("checkShell", UIStrings::shellCommand, UIStrings::checkShellExample, formCard);
    read_ = input("checkRead", UIStrings::filePath, UIStrings::checkReadExample, formCard);
    server_ = input("checkServer", UIStrings::toolServer, UIStrings::checkServerExample, formCard);
    tool_ = input("checkTool", UIStrings::toolName, UIStrings::checkToolExample, formCard);
    json_ = input("checkJson", UIStrings::toolDetails, UIStrings::checkJsonExample, formCard);
    inputs_ = new QStackedWidget(formCard);
    inputs_->setObjectName(QStringLiteral("checkInputs"));
    inputs_->addWidget(formPage(inputs_, {{UIStrings::shellCommand, shell_}}));
    inputs_->addWidget(formPage(inputs_, {{UIStrings::filePath, read_}}));
    inputs_->addWidget(formPage(inputs_, {{UIStrings::toolServer, server_}, {UIStrings::toolName, tool_},
                                          {UIStrings::toolDetails, json_}}));
    formColumn->addWidget(inputs_);
    auto* run = kit::symbolButton("runCheck", UIStrings::testAction, "play.fill", formCard, true);
    formColumn->addWidget(run, 0, Qt::AlignRight);
    column().addWidget(formCard);

    QVBoxLayout* outcomeColumn = nullptr;
    auto* outcomeCard = kit::card(this, &outcomeColumn);
    outcome_ = outcomeCard;
    outcomeCard->setObjectName(QStringLiteral("checkOutcome"));
    outcomeColumn->addWidget(kit::sectionTitle(UIStrings::testOutcomeHeading, outcomeCard));
    verdict_ = kit::heading({}, outcomeCard, 4);
    verdict_->setObjectName(QStringLiteral("checkVerdict"));
    reason_ = kit::paragraph({}, outcomeCard, true);
    reason_->setObjectName(QStringLiteral("checkReason"));
    error_ = kit::errorLine("checkError", outcomeCard);
    breakdown_ = new CommandBreakdownView(false, outcomeCard);
    outcomeColumn->addWidget(verdict_);
    outcomeColumn->addWidget(reason_);
    outcomeColumn->addWidget(breakdown_);
    outcomeColumn->addWidget(error_);
    column().addWidget(outcomeCard);

    connect(kind_, &QComboBox::activated, this, [this](int) {
        store().checkKind = static_cast<CheckKind>(kind_->currentData().toInt());
        store().publish();
    });
    for (auto* field : {shell_, read_, server_, tool_, json_}) {
        connect(field, &QLineEdit::textEdited, this, &CheckPage::copyInputs);
        connect(field, &QLineEdit::returnPressed, run, &QPushButton::click);
    }
    connect(run, &QPushButton::clicked, this, [this] {
        copyInputs();
        store().runCheck();
    });
    ready();
}

void CheckPage::copyInputs() {
    auto& s = store();
    s.checkShell = utf8(shell_->text());
    s.checkRead = utf8(read_->text());
    s.checkMcpServer = utf8(server_->text());
    s.checkMcpTool = utf8(tool_->text());
    s.checkMcpJSON = utf8(json_->text());
}

void CheckPage::redraw() {
    auto& s = store();
    const int kindIndex = kind_->findData(static_cast<int>(s.checkKind));
    kind_->setCurrentIndex(kindIndex);
    inputs_->setCurrentIndex(kindIndex);
    // The stack is as tall as the chosen kind's inputs, not as the tallest kind's.
    for (int index = 0; index < inputs_->count(); ++index) {
        inputs_->widget(index)->setSizePolicy(QSizePolicy::Preferred,
                                              index == kindIndex ? QSizePolicy::Preferred : QSizePolicy::Ignored);
    }
    inputs_->adjustSize();
    kit::setTextKeepingCursor(shell_, qs(s.checkShell));
    kit::setTextKeepingCursor(read_, qs(s.checkRead));
    kit::setTextKeepingCursor(server_, qs(s.checkMcpServer));
    kit::setTextKeepingCursor(tool_, qs(s.checkMcpTool));
    kit::setTextKeepingCursor(json_, qs(s.checkMcpJSON));

    const auto& outcome = s.checkOutcome;
    outcome_->setVisible(outcome.decision.has_value() || outcome.error.has_value());
    if (outcome.decision) {
        verdict_->setText(qs(UIStrings::v2Pill(outcome.decision->outcome)));
        kit::tint(verdict_, theme::outcomeColor(outcome.decision->outcome));
        std::string reason = outcome.decision->reasonUser;
        if (outcome.decision->ruleId) reason += std::string(UIStrings::logCountSeparator) + *outcome.decision->ruleId;
        setPlainText(reason_, reason);
    }
    verdict_->setVisible(outcome.decision.has_value());
    reason_->setVisible(outcome.decision.has_value());
    breakdown_->setParts(outcome.decision ? outcome.breakdown : std::vector<CommandPart>{});
    kit::showError(error_, outcome.error ? qs(*outcome.error) : QString());
}

}  // namespace vardex::ui
