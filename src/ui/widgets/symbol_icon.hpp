#pragma once

#include <string_view>

#include <QColor>
#include <QIcon>

namespace vardex::ui {

// The symbols the screens name ("checkmark.shield.fill", "trash", "gearshape", ...), drawn from
// small SVG glyphs in one colour, crisp at any size. `knockout` colours the marks cut into filled
// shapes (the tick inside a filled shield). An unknown name draws a plain circle, never nothing.
QIcon symbolIcon(std::string_view name, const QColor& color, const QColor& knockout = Qt::white);

// The glyph as SVG text, for callers that render it themselves (the tray, the receipt card).
QByteArray symbolSvg(std::string_view name, const QColor& color, const QColor& knockout = Qt::white);

bool isKnownSymbol(std::string_view name);

}  // namespace vardex::ui
