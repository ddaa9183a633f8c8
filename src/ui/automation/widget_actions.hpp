#pragma once

#include <string>

#include "common/result.hpp"

class QWidget;

namespace vardex::ui {

// What a script may do to a control it names by object name, as a user's click or typing would:
// the screens cannot tell the difference. Every refusal is a readable sentence.
namespace WidgetActions {

// The first control of that name in a window on screen (hidden windows are not searched).
QWidget* find(const std::string& objectName);

Result<void, std::string> click(const std::string& objectName);
Result<void, std::string> type(const std::string& objectName, const std::string& text);
Result<void, std::string> toggle(const std::string& objectName);
Result<void, std::string> select(const std::string& objectName, const std::string& text);

}  // namespace WidgetActions
}  // namespace vardex::ui
