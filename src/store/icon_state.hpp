#pragma once

#include <array>
#include <string_view>

#include "protocol/wire_enum.hpp"

namespace vardex {

// What the tray icon shows; only one state can show at a time.
enum class VardexIconState { protected_, partlyProtected, promptPending, paused, notProtected };

template <>
struct WireNames<VardexIconState> {
    static constexpr std::array<std::pair<VardexIconState, std::string_view>, 5> table{{
        {VardexIconState::protected_, "protected"},
        {VardexIconState::partlyProtected, "partlyProtected"},
        {VardexIconState::promptPending, "promptPending"},
        {VardexIconState::paused, "paused"},
        {VardexIconState::notProtected, "notProtected"},
    }};
};

// Paused wins; then a protected store shows whether a question waits; everything else is not
// protected. Never yields `partlyProtected`.
VardexIconState iconStateFor(bool paused, bool protectedNow, bool questionsWaiting);

// The title the string catalogue gives the state ("Protected", "Paused", ...).
std::string_view iconTitle(VardexIconState state);

}  // namespace vardex
