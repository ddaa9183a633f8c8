#include "ui/app/color_scheme.hpp"

#include <QApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QStyle>
#include <QStyleFactory>

namespace vardex::ui {

namespace {

const QString portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settings = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// The portal wraps the value in one or two variants depending on its version.
ColorScheme schemeFrom(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (!ok || number > 2) return ColorScheme::noPreference;
    return static_cast<ColorScheme>(number);
}

}  // namespace

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x24, 0x24, 0x26);
    const QColor base(0x1b, 0x1b, 0x1d);
    const QColor text(0xec, 0xec, 0xee);
    const QColor muted(0x8e, 0x8e, 0x93);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window.lighter(115));
    palette.setColor(QPalette::ToolTipBase, window.lighter(130));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(130));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, window.lighter(170));
    palette.setColor(QPalette::Midlight, window.lighter(140));
    palette.setColor(QPalette::Mid, window.lighter(110));
    palette.setColor(QPalette::Dark, window.darker(140));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x3a, 0x82, 0xf6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xa8, 0xff));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, muted);
    }
    return palette;
}

ColorSchemeFollower::ColorSchemeFollower(QDBusConnection bus, QObject* parent)
    : QObject(parent), platform_(QApplication::palette()) {
    bus.connect(portal, portalPath, settings, QStringLiteral("SettingChanged"), this,
                SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(portal, portalPath, settings, QStringLiteral("Read"));
    read << appearance << colorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (!reply.isError()) apply(schemeFrom(reply.value().variant()));
    });
}

void ColorSchemeFollower::apply(ColorScheme scheme) {
    switch (scheme) {
        case ColorScheme::dark: QApplication::setPalette(darkPalette()); break;
        case ColorScheme::light: QApplication::setPalette(QApplication::style()->standardPalette()); break;
        case ColorScheme::noPreference: QApplication::setPalette(platform_); break;
    }
}

void ColorSchemeFollower::onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
    if (group == appearance && key == colorSchemeKey) apply(schemeFrom(value.variant()));
}

}  // namespace vardex::ui
