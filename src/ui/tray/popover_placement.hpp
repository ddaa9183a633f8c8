#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vardex::ui {

// The gap between the tray icon and the popover.
inline constexpr int popoverGap = 6;

// Where a popover of `size` goes for a tray icon at `icon` (global coordinates): under an icon in
// the upper half of the screen, over one in the lower half, centred on the icon across, and always
// inside `available` (the screen without its panels). An empty `icon` (the host does not say where
// it is) centres the popover on `available`.
QPoint popoverPosition(const QRect& icon, const QSize& size, const QRect& available);

// Where a popover goes when nothing says where the icon is and the popover is a window of its own
// (a Wayland session): the top right corner of `available`, where panels keep their trays, a gap
// away from both edges.
QPoint cornerPopoverPosition(const QSize& size, const QRect& available);

// Where a popover that stands at `now` goes when its content makes it `size`: where it is, its
// edge against the icon kept (the bottom edge of one that opened above the icon, so it grows
// upwards), and moved only as far as it must to stay inside `available`.
QPoint keptPopoverPosition(const QRect& now, const QSize& size, const QRect& available);

}  // namespace vardex::ui
