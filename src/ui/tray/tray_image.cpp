#include "ui/tray/tray_image.hpp"

#include <array>

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include "ui/widgets/theme.hpp"

namespace vardex::ui {

namespace {

constexpr std::array sizes{16, 22, 24, 32, 48};

QColor haloFor(const QColor& ink) {
    QColor halo = ink.lightness() > 128 ? QColor(0, 0, 0) : QColor(255, 255, 255);
    halo.setAlphaF(0.55F);
    return halo;
}

// SVG Tiny has no rgba(): the colour and its opacity go in separate attributes.
QString paint(const char* what, const QColor& color) {
    return QStringLiteral(R"(%1="%2" %1-opacity="%3")")
        .arg(QLatin1String(what), color.name(QColor::HexRgb), QString::number(color.alphaF(), 'f', 2));
}

}  // namespace

QByteArray trayImageSvg(TrayLook look, const QColor& ink) {
    const QString shield = QStringLiteral("M12 2.6l7.6 3v5.7c0 4.8-3.2 8.8-7.6 10.2-4.4-1.4-7.6-5.4-7.6-10.2V5.6z");
    const QString tick = QStringLiteral("M8.6 12.1l2.4 2.4 4.4-4.8");
    const QString slash = QStringLiteral("M3.5 3.5l17 17");
    QString marks;
    // The halo goes under every stroke, wider, so the glyph keeps an edge on any panel colour.
    const auto stroke = [&](const QString& d, const QColor& colour, double width) {
        marks += QStringLiteral(R"(<path d="%1" fill="none" %2 stroke-width="%3" stroke-linecap="round" stroke-linejoin="round"/>)")
                     .arg(d, paint("stroke", colour), QString::number(width));
    };
    const QColor halo = haloFor(ink);
    stroke(shield, halo, 3.6);
    if (look.slashed) {
        stroke(slash, halo, 3.6);
    } else {
        stroke(tick, halo, 3.6);
    }
    stroke(shield, ink, 2.0);
    stroke(look.slashed ? slash : tick, ink, 2.0);
    if (look.badge) {
        marks += QStringLiteral(R"(<circle cx="18.5" cy="5.5" r="4.6" %1/><circle cx="18.5" cy="5.5" r="3.6" %2/>)")
                     .arg(paint("fill", halo), paint("fill", theme::askColor()));
    }
    return QStringLiteral(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24">%1</svg>)").arg(marks).toUtf8();
}

QIcon trayIcon(TrayLook look, const QColor& ink) {
    QSvgRenderer renderer(trayImageSvg(look, ink));
    QIcon icon;
    for (const int size : sizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace vardex::ui
