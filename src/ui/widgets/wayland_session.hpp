#pragma once

namespace vardex::ui {

// Whether the app draws through Qt's Wayland platform. A Wayland client's windows cannot place
// themselves on screen nor take the focus: the compositor does both, and maps a window anew each
// time it is shown.
bool onWayland();

}  // namespace vardex::ui
