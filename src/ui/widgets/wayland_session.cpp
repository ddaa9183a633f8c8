#include "ui/widgets/wayland_session.hpp"

#include <QGuiApplication>

namespace vardex::ui {

bool onWayland() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

}  // namespace vardex::ui
