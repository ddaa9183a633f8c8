#pragma once

#include <optional>
#include <string_view>
#include <utility>

#include <QString>

class QAbstractButton;
class QBoxLayout;
class QColor;
class QFrame;
class QLabel;
class QLayout;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace vardex::ui::kit {

// The main window's pages share one look: 8-px grid, a title with its subtitle, content in
// rounded cards, secondary text softened from the window text. These builders keep it one look.
inline constexpr int grid = 8;

// Colours a label's text wherever it stands: inside a card the text is drawn in the Text role,
// elsewhere in WindowText, so both are set.
void tint(QWidget* label, const QColor& color);

QLabel* heading(std::string_view text, QWidget* parent, int pointDelta = 8);
// A wrapping paragraph; `secondary` softens it.
QLabel* paragraph(std::string_view text, QWidget* parent, bool secondary = false);
QLabel* sectionTitle(std::string_view text, QWidget* parent);
// The line under a field that shows what the store refused; hidden while empty.
QLabel* errorLine(const char* objectName, QWidget* parent);
void showError(QLabel* line, const QString& text);

// A card: a panel with rounded corners and its own column layout (returned through `column`).
QFrame* card(QWidget* parent, QVBoxLayout** column);

QPushButton* button(const char* objectName, std::string_view text, QWidget* parent, bool primary = false);
QPushButton* symbolButton(const char* objectName, std::string_view text, std::string_view symbol, QWidget* parent,
                          bool primary = false);

// Removes and deletes every item of `layout` (the rows of a list that changed).
void clear(QLayout* layout);

// Keeps what a list was last drawn from: true, with `now` kept, when it differs. A list is
// rebuilt only then, so rows that show the same keep their widgets, focus and open answers.
template <class Value>
bool differs(std::optional<Value>& drawn, Value now) {
    if (drawn && *drawn == now) return false;
    drawn = std::move(now);
    return true;
}

// A button that guards work under way: disabled while it runs, its text saying so.
void showBusy(QAbstractButton* button, bool busy, std::string_view idleText, std::string_view busyText);

// Sets the text only when it changed, so a redraw does not move the cursor of a field being typed in.
void setTextKeepingCursor(QWidget* field, const QString& text);

}  // namespace vardex::ui::kit
