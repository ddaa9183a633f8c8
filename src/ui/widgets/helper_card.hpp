#pragma once

#include <string>

#include <QFrame>

class QLabel;
class QToolButton;

namespace vardex {
class Preferences;
}

namespace vardex::ui {

class HelperModel;
class LocalHelper;

// The small "Helper" card: a button that asks for a plain-words explanation and the answer
// below it. The compact form is one line (an icon button beside its text), for headers.
class HelperCard final : public QFrame {
    Q_OBJECT
public:
    struct Texts {
        std::string prompt;
        std::string fallback;
    };

    HelperCard(HelperModel& model, const Preferences& preferences, Texts texts, bool compact, QWidget* parent = nullptr);

    // The screen's texts change with the store (today's count, the request on top). An answer
    // belongs to the texts it was asked with: new texts put away the old answer, and a reply
    // still on its way for them is dropped.
    void setTexts(Texts texts);
    // The same texts for a new subject (the next question of the same rule): starts empty again.
    void startOver(Texts texts);
    LocalHelper& helper() const { return *helper_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void makeHelper();
    void paintIcon();
    void redraw();

    HelperModel& model_;
    const Preferences& preferences_;
    LocalHelper* helper_ = nullptr;
    Texts texts_;
    bool compact_;
    QToolButton* ask_;
    QLabel* answer_;
};

}  // namespace vardex::ui
