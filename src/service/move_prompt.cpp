#include "service/move_prompt.hpp"

#include <string>

namespace vardex::MovePrompt {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

}  // namespace

bool needsMove(std::string_view bundlePath, std::string_view home) {
    const std::string homeText(home);
    if (startsWith(bundlePath, "/Applications/")) return false;
    if (startsWith(bundlePath, homeText + "/Applications/")) return false;
    if (bundlePath.find("/AppTranslocation/") != std::string_view::npos) return true;
    if (startsWith(bundlePath, "/Volumes/")) return true;
    if (startsWith(bundlePath, homeText + "/Downloads/")) return true;
    return startsWith(bundlePath, homeText + "/Desktop/");
}

}  // namespace vardex::MovePrompt
