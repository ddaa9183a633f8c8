#include "ui/tray/popover_placement.hpp"

#include <algorithm>

namespace vardex::ui {

namespace {

// Keeps [start, start + length) inside [low, high); a span longer than the room starts at low.
int clampSpan(int start, int length, int low, int high) { return std::max(low, std::min(start, high - length)); }

}  // namespace

QPoint popoverPosition(const QRect& icon, const QSize& size, const QRect& available) {
    if (!icon.isValid() || icon.isEmpty()) {
        const QPoint centre = available.center();
        return {clampSpan(centre.x() - size.width() / 2, size.width(), available.left(), available.right() + 1),
                clampSpan(centre.y() - size.height() / 2, size.height(), available.top(), available.bottom() + 1)};
    }
    const bool iconInUpperHalf = icon.center().y() < available.center().y();
    const int y = iconInUpperHalf ? icon.bottom() + 1 + popoverGap : icon.top() - popoverGap - size.height();
    const int x = icon.center().x() - size.width() / 2;
    return {clampSpan(x, size.width(), available.left(), available.right() + 1),
            clampSpan(y, size.height(), available.top(), available.bottom() + 1)};
}

QPoint cornerPopoverPosition(const QSize& size, const QRect& available) {
    return {clampSpan(available.right() + 1 - popoverGap - size.width(), size.width(), available.left(), available.right() + 1),
            clampSpan(available.top() + popoverGap, size.height(), available.top(), available.bottom() + 1)};
}

QPoint keptPopoverPosition(const QRect& now, const QSize& size, const QRect& available) {
    // A popover in the lower half opened over its icon: its bottom edge is the one at the icon.
    const bool overTheIcon = now.center().y() >= available.center().y();
    const int y = overTheIcon ? now.bottom() + 1 - size.height() : now.top();
    return {clampSpan(now.left(), size.width(), available.left(), available.right() + 1),
            clampSpan(y, size.height(), available.top(), available.bottom() + 1)};
}

}  // namespace vardex::ui
