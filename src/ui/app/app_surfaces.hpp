#pragma once

#include "ui/app/shell_surfaces.hpp"

namespace vardex::ui {

class MenuBarStatus;
class QtWindowHost;

// The app's real surfaces for scripts: the tray popover and the three windows of the host.
class AppSurfaces final : public ShellSurfaces {
public:
    explicit AppSurfaces(QtWindowHost& windows) : windows_(windows) {}

    // The tray item is made after the store, and so after this.
    void setStatus(MenuBarStatus* status) { status_ = status; }

    bool open(const std::string& name) override;
    bool close(const std::string& name) override;
    std::vector<Surface> shown() const override;

private:
    QWidget* widget(const std::string& name) const;

    QtWindowHost& windows_;
    MenuBarStatus* status_ = nullptr;
};

}  // namespace vardex::ui
