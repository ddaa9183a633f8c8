#pragma once

#include <string>
#include <string_view>

#include <QString>

namespace vardex::ui {

// The catalogue and the store speak UTF-8; Qt speaks UTF-16. Every crossing goes through these.
inline QString qs(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
inline std::string utf8(const QString& text) { return text.toStdString(); }

}  // namespace vardex::ui
