#pragma once

#include <QByteArray>
#include <QColor>
#include <QIcon>

namespace vardex::ui {

struct TrayLook {
    bool slashed = false;  // protection is off or paused
    bool badge = false;    // a question waits
};

// The tray glyph as SVG: a shield outline (slashed when not protecting), one ink colour with a
// thin halo of the opposite tone so it reads on light and dark panels; the badge is a filled dot
// in the ask colour at the top right.
QByteArray trayImageSvg(TrayLook look, const QColor& ink);

// The icon with pixmaps rendered for every size panels use (16 to 48), each drawn at its size so
// the strokes stay on whole pixels.
QIcon trayIcon(TrayLook look, const QColor& ink);

}  // namespace vardex::ui
