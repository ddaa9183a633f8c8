#include "store/icon_state.hpp"

#include "strings/ui_strings.hpp"

namespace vardex {

VardexIconState iconStateFor(bool paused, bool protectedNow, bool questionsWaiting) {
    if (paused) return VardexIconState::paused;
    if (protectedNow) return questionsWaiting ? VardexIconState::promptPending : VardexIconState::protected_;
    return VardexIconState::notProtected;
}

std::string_view iconTitle(VardexIconState state) { return UIStrings::iconTitle(wireText(state)); }

}  // namespace vardex
