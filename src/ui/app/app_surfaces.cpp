#include "ui/app/app_surfaces.hpp"

#include <optional>

#include <QWidget>

#include "ui/ports/qt_window_host.hpp"
#include "ui/tray/menu_bar_status.hpp"

namespace vardex::ui {

namespace {

std::optional<WindowKind> windowNamed(const std::string& name) {
    if (name == "approval") return WindowKind::approval;
    if (name == "dashboard") return WindowKind::dashboard;
    if (name == "log") return WindowKind::log;
    return std::nullopt;
}

}  // namespace

QWidget* AppSurfaces::widget(const std::string& name) const {
    if (name == "popover") return status_ ? status_->popover() : nullptr;
    const auto kind = windowNamed(name);
    return kind ? windows_.existing(*kind) : nullptr;
}

bool AppSurfaces::open(const std::string& name) {
    if (name == "popover") {
        if (!status_) return false;
        if (!status_->popover()->isVisible()) status_->toggle();
        return true;
    }
    const auto kind = windowNamed(name);
    if (!kind) return false;
    windows_.show(*kind);
    return true;
}

bool AppSurfaces::close(const std::string& name) {
    if (name != "popover" && !windowNamed(name)) return false;
    if (QWidget* shown = widget(name)) shown->hide();
    return true;
}

std::vector<ShellSurfaces::Surface> AppSurfaces::shown() const {
    std::vector<Surface> surfaces;
    for (const char* name : {"popover", "dashboard", "log", "approval"}) {
        QWidget* candidate = widget(name);
        if (candidate && candidate->isVisible()) surfaces.push_back({name, candidate});
    }
    return surfaces;
}

}  // namespace vardex::ui
