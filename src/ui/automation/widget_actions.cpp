#include "ui/automation/widget_actions.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>

#include "ui/widgets/qt_text.hpp"

namespace vardex::ui::WidgetActions {

namespace {

Result<QWidget*, std::string> usable(const std::string& objectName) {
    QWidget* widget = find(objectName);
    if (!widget) return fail("no control named " + objectName + " on screen");
    if (!widget->isEnabled()) return fail(objectName + " is disabled");
    return widget;
}

}  // namespace

QWidget* find(const std::string& objectName) {
    const QString name = qs(objectName);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible()) continue;
        if (window->objectName() == name) return window;
        for (QWidget* child : window->findChildren<QWidget*>(name)) {
            if (child->isVisible()) return child;
        }
    }
    return nullptr;
}

Result<void, std::string> click(const std::string& objectName) {
    auto widget = usable(objectName);
    if (!widget) return fail(widget.error());
    auto* button = qobject_cast<QAbstractButton*>(*widget);
    if (!button) return fail(objectName + " is not a button");
    button->click();
    return {};
}

Result<void, std::string> toggle(const std::string& objectName) {
    auto widget = usable(objectName);
    if (!widget) return fail(widget.error());
    auto* button = qobject_cast<QAbstractButton*>(*widget);
    if (!button || !button->isCheckable()) return fail(objectName + " is not a switch");
    button->click();
    return {};
}

Result<void, std::string> type(const std::string& objectName, const std::string& text) {
    auto widget = usable(objectName);
    if (!widget) return fail(widget.error());
    if (auto* line = qobject_cast<QLineEdit*>(*widget)) {
        // Through the editing path, so the screen hears it as typing (textEdited), then Enter.
        line->selectAll();
        line->insert(qs(text));
        Q_EMIT line->editingFinished();
        return {};
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(*widget)) {
        plain->setPlainText(qs(text));
        return {};
    }
    if (auto* rich = qobject_cast<QTextEdit*>(*widget)) {
        rich->setPlainText(qs(text));
        return {};
    }
    if (auto* spin = qobject_cast<QSpinBox*>(*widget)) {
        bool number = false;
        const int value = qs(text).toInt(&number);
        if (!number) return fail(text + " is not a whole number");
        spin->setValue(value);
        return {};
    }
    return fail(objectName + " does not take text");
}

Result<void, std::string> select(const std::string& objectName, const std::string& text) {
    auto widget = usable(objectName);
    if (!widget) return fail(widget.error());
    if (auto* combo = qobject_cast<QComboBox*>(*widget)) {
        const int index = combo->findText(qs(text));
        if (index < 0) return fail(objectName + " has no choice " + text);
        combo->setCurrentIndex(index);
        Q_EMIT combo->activated(index);
        return {};
    }
    if (auto* list = qobject_cast<QListWidget*>(*widget)) {
        const auto items = list->findItems(qs(text), Qt::MatchExactly);
        if (items.isEmpty()) return fail(objectName + " has no entry " + text);
        list->setCurrentItem(items.front());
        Q_EMIT list->itemClicked(items.front());
        return {};
    }
    if (auto* dialog = qobject_cast<QFileDialog*>(*widget)) {
        // As a user picking the path and pressing the dialog's accept button.
        // A folder picker answers with the folder it shows; a file is picked by its name.
        const QFileInfo picked(qs(text));
        if (dialog->fileMode() == QFileDialog::Directory && picked.isDir()) {
            dialog->setDirectory(picked.absoluteFilePath());
        } else {
            dialog->selectFile(qs(text));
        }
        // accept() is a protected slot: reached through the dialog's slot table, as its button does.
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        return {};
    }
    return fail(objectName + " is not a list of choices");
}

}  // namespace vardex::ui::WidgetActions
