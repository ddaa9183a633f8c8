#include "ui/widgets/symbol_icon.hpp"

#include <array>
#include <utility>

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace vardex::ui {

namespace {

// 24 × 24 glyphs. "C" stands for the symbol's colour, "K" for the knockout colour.
constexpr std::string_view shield = "M12 2.5l7.5 3v5.8c0 4.8-3.1 8.8-7.5 10.2-4.4-1.4-7.5-5.4-7.5-10.2V5.5z";

struct Glyph {
    std::string_view name;
    std::string_view body;
};

constexpr std::array glyphs{
    Glyph{"checkmark.shield.fill", R"(<path d="SHIELD" fill="C"/><path d="M8.5 12l2.5 2.5 4.5-5" stroke="K"/>)"},
    Glyph{"exclamationmark.shield.fill", R"(<path d="SHIELD" fill="C"/><path d="M12 7.5v5" stroke="K"/><circle cx="12" cy="16" r="0.6" stroke="K"/>)"},
    Glyph{"shield.slash.fill", R"(<path d="SHIELD" fill="C"/><path d="M3 3l18 18" stroke="C"/><path d="M7.5 7.5l9 9" stroke="K"/>)"},
    Glyph{"shield", R"(<path d="SHIELD"/>)"},
    Glyph{"lock.shield", R"(<path d="SHIELD"/><rect x="9" y="11" width="6" height="5" rx="1" fill="C"/><path d="M10 11V9.5a2 2 0 0 1 4 0V11"/>)"},
    Glyph{"pause.circle.fill", R"(<circle cx="12" cy="12" r="9.5" fill="C"/><path d="M10 8.5v7M14 8.5v7" stroke="K"/>)"},
    Glyph{"play.circle", R"(<circle cx="12" cy="12" r="9.5"/><path d="M10 8.5l5.5 3.5-5.5 3.5z" fill="C"/>)"},
    Glyph{"info.circle", R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 11v6"/><circle cx="12" cy="7.5" r="0.6"/>)"},
    Glyph{"arrow.down.circle", R"(<circle cx="12" cy="12" r="9.5"/><path d="M12 7v9M8 12.5l4 4 4-4"/>)"},
    Glyph{"checkmark.circle.fill", R"(<circle cx="12" cy="12" r="9.5" fill="C"/><path d="M8 12.5l2.8 2.8L16 9.5" stroke="K"/>)"},
    Glyph{"questionmark.circle.fill", R"(<circle cx="12" cy="12" r="9.5" fill="C"/><path d="M9.5 9.5a2.5 2.5 0 1 1 3.5 2.3c-.7.3-1 .9-1 1.7" stroke="K"/><circle cx="12" cy="16.5" r="0.5" stroke="K"/>)"},
    Glyph{"hand.raised.fill", R"(<path d="M7 12V7.5a1.5 1.5 0 0 1 3 0V11V5.5a1.5 1.5 0 0 1 3 0V11V6.5a1.5 1.5 0 0 1 3 0V12v-2a1.5 1.5 0 0 1 3 0v4c0 4-3 7.5-7 7.5-3 0-5-1.5-6.5-4L4.5 14a1.5 1.5 0 0 1 2.5-1.5z" fill="C"/>)"},
    Glyph{"hand.wave", R"(<path d="M7 12V7.5a1.5 1.5 0 0 1 3 0V11V5.5a1.5 1.5 0 0 1 3 0V11V6.5a1.5 1.5 0 0 1 3 0V12v-2a1.5 1.5 0 0 1 3 0v4c0 4-3 7.5-7 7.5-3 0-5-1.5-6.5-4L4.5 14a1.5 1.5 0 0 1 2.5-1.5z"/>)"},
    Glyph{"xmark.octagon.fill", R"(<path d="M8 2.5h8l5.5 5.5v8L16 21.5H8L2.5 16V8z" fill="C"/><path d="M9 9l6 6M15 9l-6 6" stroke="K"/>)"},
    Glyph{"questionmark.bubble", R"(<path d="M4 5.5h16v11H10l-4 3.5v-3.5H4z"/><path d="M10 9a2 2 0 1 1 2.8 1.8c-.5.2-.8.7-.8 1.2"/><circle cx="12" cy="14.3" r="0.4"/>)"},
    Glyph{"sparkles", R"(<path d="M10 3l1.6 4.9L16.5 9.5l-4.9 1.6L10 16l-1.6-4.9L3.5 9.5l4.9-1.6z" fill="C"/><path d="M18 14l.8 2.2 2.2.8-2.2.8L18 20l-.8-2.2-2.2-.8 2.2-.8z" fill="C"/>)"},
    Glyph{"power", R"(<path d="M12 3v8"/><path d="M7 6.5a8 8 0 1 0 10 0"/>)"},
    Glyph{"play.fill", R"(<path d="M7 4.5l12 7.5-12 7.5z" fill="C"/>)"},
    Glyph{"stop.fill", R"(<rect x="5.5" y="5.5" width="13" height="13" rx="2" fill="C"/>)"},
    Glyph{"pause", R"(<path d="M9 5v14M15 5v14"/>)"},
    Glyph{"trash", R"(<path d="M4 6.5h16M9.5 6.5V4.5h5v2M6.5 6.5l1 13h9l1-13M10.5 10v6M13.5 10v6"/>)"},
    Glyph{"macwindow", R"(<rect x="3" y="4.5" width="18" height="15" rx="2"/><path d="M3 9h18"/>)"},
    Glyph{"wrench.and.screwdriver", R"(<path d="M14.5 4a4 4 0 0 0-4 5.2L4 15.7 6.3 18l6.5-6.5A4 4 0 0 0 18 7.5l-2.3 2.3-2.3-.7-.7-2.3z"/><path d="M14 14l5 5M16 12.5l4.5 4.5"/>)"},
    Glyph{"list.bullet.rectangle", R"(<rect x="3" y="4" width="18" height="16" rx="2"/><path d="M10 9h7M10 12h7M10 15h7"/><circle cx="7" cy="9" r="0.5"/><circle cx="7" cy="12" r="0.5"/><circle cx="7" cy="15" r="0.5"/>)"},
    Glyph{"gearshape", R"(<circle cx="12" cy="12" r="3"/><path d="M12 2.5v3M12 18.5v3M2.5 12h3M18.5 12h3M5.3 5.3l2.1 2.1M16.6 16.6l2.1 2.1M5.3 18.7l2.1-2.1M16.6 7.4l2.1-2.1"/><circle cx="12" cy="12" r="6.5"/>)"},
    Glyph{"checklist", R"(<path d="M3.5 6.5l1.5 1.5 3-3M3.5 13.5l1.5 1.5 3-3M11 7h9.5M11 14h9.5M11 19.5h9.5"/>)"},
    Glyph{"stethoscope", R"(<path d="M6 3.5H5v5a4 4 0 0 0 8 0v-5h-1"/><path d="M9 12.5v2a5 5 0 0 0 10 0v-2"/><circle cx="19" cy="10.5" r="2"/>)"},
    Glyph{"doc.text.magnifyingglass", R"(<path d="M13 3H6v18h6M13 3l5 5v3M13 3v5h5"/><circle cx="16" cy="16" r="3"/><path d="M18.2 18.2L21 21"/>)"},
    Glyph{"folder.badge.minus", R"(<path d="M3 6.5h6l2 2h10v10.5H3z"/><path d="M14.5 14h5"/>)"},
    Glyph{"folder", R"(<path d="M3 6.5h6l2 2h10v10.5H3z"/>)"},
    Glyph{"globe", R"(<circle cx="12" cy="12" r="9.5"/><path d="M2.5 12h19M12 2.5c3 3 3 16 0 19M12 2.5c-3 3-3 16 0 19"/>)"},
    Glyph{"xmark", R"(<path d="M6 6l12 12M18 6L6 18"/>)"},
    Glyph{"chevron.right", R"(<path d="M9 5l7 7-7 7"/>)"},
    Glyph{"plus", R"(<path d="M12 5v14M5 12h14"/>)"},
    Glyph{"arrow.clockwise", R"(<path d="M19.5 12a7.5 7.5 0 1 1-2.2-5.3"/><path d="M19.5 4.5v4h-4"/>)"},
    Glyph{"square.and.arrow.up", R"(<path d="M12 3.5v11M8 7.5l4-4 4 4"/><path d="M6 10.5H5v10h14v-10h-1"/>)"},
};

QString hexColor(const QColor& color) { return color.name(QColor::HexRgb); }

const Glyph* find(std::string_view name) {
    for (const auto& glyph : glyphs) {
        if (glyph.name == name) return &glyph;
    }
    return nullptr;
}

// Draws the glyph afresh at every size asked for, so the icon stays sharp on any screen scale.
class SvgIconEngine final : public QIconEngine {
public:
    explicit SvgIconEngine(QByteArray svg) : svg_(std::move(svg)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        QSvgRenderer renderer(svg_);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        renderer.render(painter, rect);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new SvgIconEngine(svg_); }

private:
    QByteArray svg_;
};

}  // namespace

bool isKnownSymbol(std::string_view name) { return find(name) != nullptr; }

QByteArray symbolSvg(std::string_view name, const QColor& color, const QColor& knockout) {
    const Glyph* glyph = find(name);
    QString body = glyph ? QString::fromUtf8(glyph->body.data(), static_cast<qsizetype>(glyph->body.size()))
                         : QStringLiteral(R"(<circle cx="12" cy="12" r="8"/>)");
    body.replace(QStringLiteral("SHIELD"), QString::fromUtf8(shield.data(), static_cast<qsizetype>(shield.size())));
    body.replace(QStringLiteral("\"C\""), QLatin1Char('"') + hexColor(color) + QLatin1Char('"'));
    body.replace(QStringLiteral("\"K\""), QLatin1Char('"') + hexColor(knockout) + QLatin1Char('"'));
    const QString svg = QStringLiteral(
                            R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24" fill="none" stroke="%1" )"
                            R"(stroke-width="1.8" stroke-linecap="round" stroke-linejoin="round">%2</svg>)")
                            .arg(hexColor(color), body);
    return svg.toUtf8();
}

QIcon symbolIcon(std::string_view name, const QColor& color, const QColor& knockout) {
    return QIcon(new SvgIconEngine(symbolSvg(name, color, knockout)));
}

}  // namespace vardex::ui
