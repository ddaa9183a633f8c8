#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QPalette>

namespace vardex::ui {

// The desktop's preference as the appearance portal words it: 0 none, 1 dark, 2 light.
enum class ColorScheme { noPreference = 0, dark = 1, light = 2 };

QPalette darkPalette();

// Qt 6.4 has no colour-scheme call of its own. This reads the freedesktop appearance portal's
// "color-scheme" (asynchronously, and again whenever it changes) and applies a dark or a light
// palette; with no portal, or no preference, the platform palette stays.
class ColorSchemeFollower final : public QObject {
    Q_OBJECT
public:
    explicit ColorSchemeFollower(QDBusConnection bus, QObject* parent = nullptr);

    void apply(ColorScheme scheme);

private Q_SLOTS:
    void onSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    QPalette platform_;
};

}  // namespace vardex::ui
