#pragma once

#include <string_view>
#include <vector>

#include <QFrame>

class QLabel;
class QPushButton;

namespace vardex::ui {

// A question asked in place before a step that cannot be taken back: the sentence, then the
// confirming button and "Cancel". Hidden until `ask`.
class ConfirmationBar final : public QFrame {
    Q_OBJECT
public:
    explicit ConfirmationBar(const QString& objectName, QWidget* parent = nullptr);

    void ask(std::string_view question, std::string_view confirmLabel);
    // A confirmation that waits on something (the question's own answer still coming) keeps
    // its button greyed until then.
    void setConfirmEnabled(bool enabled);
    // "Cancel" first, as the two stand.
    std::vector<QWidget*> buttonsInTabOrder() const;

Q_SIGNALS:
    void confirmed();
    void cancelled();

private:
    QLabel* question_;
    QPushButton* confirm_;
    QPushButton* cancel_;
};

}  // namespace vardex::ui
