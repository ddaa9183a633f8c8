#include "ui/widgets/confirmation_bar.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "strings/ui_strings.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

ConfirmationBar::ConfirmationBar(const QString& objectName, QWidget* parent)
    : QFrame(parent), question_(new QLabel(this)), confirm_(new QPushButton(this)), cancel_(new QPushButton(this)) {
    setObjectName(objectName);
    setFrameShape(QFrame::StyledPanel);
    question_->setObjectName(objectName + QStringLiteral("Question"));
    question_->setWordWrap(true);
    confirm_->setObjectName(objectName + QStringLiteral("Confirm"));
    cancel_->setObjectName(objectName + QStringLiteral("Cancel"));
    cancel_->setText(qs(UIStrings::cancel));
    cancel_->setAccessibleName(qs(UIStrings::cancel));
    for (auto* button : {confirm_, cancel_}) button->setAutoDefault(false);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 8, 12, 8);
    column->setSpacing(8);
    column->addWidget(question_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(confirm_);
    column->addLayout(buttons);
    QWidget::setTabOrder(cancel_, confirm_);
    hide();

    connect(confirm_, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT confirmed();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        hide();
        Q_EMIT cancelled();
    });
}

void ConfirmationBar::ask(std::string_view question, std::string_view confirmLabel) {
    question_->setText(qs(question));
    confirm_->setText(qs(confirmLabel));
    confirm_->setAccessibleName(qs(confirmLabel));
    setAccessibleName(qs(question));
    show();
}

void ConfirmationBar::setConfirmEnabled(bool enabled) { confirm_->setEnabled(enabled); }

std::vector<QWidget*> ConfirmationBar::buttonsInTabOrder() const { return {cancel_, confirm_}; }

}  // namespace vardex::ui
