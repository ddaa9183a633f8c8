#include "ui/widgets/plain_text.hpp"

#include <algorithm>
#include <vector>

#include <QFontMetrics>
#include <QLabel>
#include <QStringList>

#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"
#include "text/visible_text.hpp"
#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

QString visible(std::string_view text) { return qs(unicode::visibleText(text)); }

void setPlainText(QLabel* label, std::string_view text) {
    label->setTextFormat(Qt::PlainText);
    const QString shown = visible(text);
    if (label->text() != shown) label->setText(shown);
}

QString plainToolTip(std::string_view text) {
    // The paragraph tag makes Qt read the tip as rich text, so the escaped text shows literally.
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + visible(text).toHtmlEscaped() + QStringLiteral("</p>");
}

namespace {

struct Laid {
    QStringList lines;
    std::size_t placed = 0;
};

// Places characters line after line, breaking after a space where the line has one and anywhere
// else otherwise; the last line has `lastRoom` pixels.
Laid layOut(const std::vector<std::string_view>& characters, const QFontMetrics& metrics, int width, int lines,
            int lastRoom) {
    Laid laid{{QString()}, 0};
    for (; laid.placed < characters.size(); ++laid.placed) {
        if (characters[laid.placed].find('\n') != std::string_view::npos) {
            if (static_cast<int>(laid.lines.size()) == lines) break;
            laid.lines.append(QString());
            continue;
        }
        const QString piece = visible(characters[laid.placed]);
        const bool lastLine = static_cast<int>(laid.lines.size()) == lines;
        if (metrics.horizontalAdvance(laid.lines.back() + piece) > (lastLine ? lastRoom : width) &&
            !laid.lines.back().isEmpty()) {
            if (lastLine) break;
            // At the last space when the line has one, so words stay whole where they can; not
            // onto the last line, whose room the suffix shares.
            QString& full = laid.lines.back();
            const auto space = static_cast<int>(laid.lines.size()) + 1 < lines ? full.lastIndexOf(QLatin1Char(' ')) : -1;
            const QString carried = space > 0 ? full.mid(space + 1) : QString();
            if (space > 0) full.truncate(space + 1);
            laid.lines.append(carried);
        }
        laid.lines.back() += piece;
    }
    return laid;
}

}  // namespace

QString fittedStart(std::string_view text, const QFontMetrics& metrics, int width, int lines) {
    const auto characters = unicode::characters(text);
    width = std::max(width, 1);
    Laid laid = layOut(characters, metrics, width, lines, width);
    if (laid.placed < characters.size()) {
        // Measured for the largest count the suffix could carry, so it fits after any cut.
        const QString widest = QLatin1Char(' ') + qs(UIStrings::moreCharacters(static_cast<long long>(characters.size())));
        laid = layOut(characters, metrics, width, lines, width - metrics.horizontalAdvance(widest));
        laid.lines.back() += QLatin1Char(' ') +
                             qs(UIStrings::moreCharacters(static_cast<long long>(characters.size() - laid.placed)));
    }
    return laid.lines.join(QLatin1Char('\n'));
}

}  // namespace vardex::ui
