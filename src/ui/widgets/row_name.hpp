#pragma once

#include <string_view>

#include <QString>

#include "ui/widgets/qt_text.hpp"

namespace vardex::ui {

// What a screen reader says for a button that repeats on every row ("Why?", "Delete"): the
// button's own word, then the row it acts on, so ten "Delete" buttons are ten different ones.
inline QString rowName(std::string_view action, const QString& row) {
    return qs(action) + QStringLiteral(": ") + row.simplified();
}

}  // namespace vardex::ui
