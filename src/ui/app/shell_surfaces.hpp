#pragma once

#include <string>
#include <vector>

class QWidget;

namespace vardex::ui {

// The surfaces the shell shows — the popover and the three windows — named "popover",
// "dashboard", "log" and "approval". Scripts open, close and photograph them through this.
class ShellSurfaces {
public:
    struct Surface {
        std::string name;
        QWidget* widget;
    };

    virtual ~ShellSurfaces() = default;
    // False for a name that is not one of the four.
    virtual bool open(const std::string& name) = 0;
    virtual bool close(const std::string& name) = 0;
    // The surfaces on screen right now.
    virtual std::vector<Surface> shown() const = 0;
};

}  // namespace vardex::ui
