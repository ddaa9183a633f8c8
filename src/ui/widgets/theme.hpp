#pragma once

#include <QColor>
#include <QPalette>

#include "protocol/decision.hpp"
#include "store/home_status.hpp"

namespace vardex::ui::theme {

// The status colours read on light and dark panels alike.
inline QColor statusColor(HomeStatusKind kind) {
    switch (kind) {
        case HomeStatusKind::protected_: return {0x2e, 0x9d, 0x5b};
        case HomeStatusKind::needsFix: return {0xd9, 0x8a, 0x1c};
        case HomeStatusKind::off: return {0xd2, 0x3c, 0x3c};
        case HomeStatusKind::paused: return {0x8a, 0x8f, 0x98};
    }
    return {0x8a, 0x8f, 0x98};
}

inline QColor allowColor() { return {0x2e, 0x9d, 0x5b}; }
inline QColor askColor() { return {0xd9, 0x8a, 0x1c}; }
inline QColor denyColor() { return {0xd2, 0x3c, 0x3c}; }

inline QColor outcomeColor(Outcome outcome) {
    switch (outcome) {
        case Outcome::allow: return allowColor();
        case Outcome::ask: return askColor();
        case Outcome::deny: return denyColor();
    }
    return denyColor();
}

// The approval panel keeps one dark background in both schemes, so its texts are drawn light.
inline QColor approvalBackground() { return {21, 18, 16}; }

// Secondary text: the window text, softened towards the background.
inline QColor secondaryText(const QPalette& palette) {
    const QColor text = palette.color(QPalette::WindowText);
    const QColor back = palette.color(QPalette::Window);
    return {(text.red() * 3 + back.red() * 2) / 5, (text.green() * 3 + back.green() * 2) / 5,
            (text.blue() * 3 + back.blue() * 2) / 5};
}

}  // namespace vardex::ui::theme
