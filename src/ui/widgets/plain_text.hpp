#pragma once

#include <string_view>

#include <QString>

class QFontMetrics;
class QLabel;

namespace vardex::ui {

// Text from an agent or the engine (a command, a path, a folder, a reason, an MCP tool's
// arguments) reaches the screen only through these. A QLabel renders anything that looks like
// markup as rich text, so `<i><!--` could hide the middle of a command; and a character that draws
// nothing could hide or reorder part of it. Catalogue sentences that embed such text go through
// here whole.

// The text as it would be read, invisible characters written out ("⟨U+202E⟩").
QString visible(std::string_view text);

// Shows `text` in `label` as plain text, invisible characters written out.
void setPlainText(QLabel* label, std::string_view text);

// A tool-tip that shows `text` literally: tool-tips are rich text whenever they look like it.
QString plainToolTip(std::string_view text);

// As much of the start of `text` as fits in `lines` lines of `width` pixels, wrapped at spaces
// (anywhere in a word longer than a line),
// the last line ending with how many characters are left out ("… 42 more characters"); a line
// feed starts a new line while lines remain. Never cuts the middle: what is shown is the start.
QString fittedStart(std::string_view text, const QFontMetrics& metrics, int width, int lines);

}  // namespace vardex::ui
