#pragma once

#include <array>
#include <string_view>

#include "protocol/wire_enum.hpp"

namespace vardex {

// The application's pages. The raw value is the case name; parseWireText accepts exactly
// those texts.
enum class VardexPage {
    home, activity, protection, settings, onboarding, rules, check, doctor, log, about,
    install, folders
};

template <>
struct WireNames<VardexPage> {
    static constexpr std::array<std::pair<VardexPage, std::string_view>, 12> table{{
        {VardexPage::home, "home"},
        {VardexPage::activity, "activity"},
        {VardexPage::protection, "protection"},
        {VardexPage::settings, "settings"},
        {VardexPage::onboarding, "onboarding"},
        {VardexPage::rules, "rules"},
        {VardexPage::check, "check"},
        {VardexPage::doctor, "doctor"},
        {VardexPage::log, "log"},
        {VardexPage::about, "about"},
        {VardexPage::install, "install"},
        {VardexPage::folders, "folders"},
    }};
};

std::string_view title(VardexPage page);
// Empty when the page has no subtitle.
std::string_view subtitle(VardexPage page);
std::string_view symbolName(VardexPage page);

namespace VardexPages {

using enum VardexPage;

inline constexpr std::array primaryPages{home, activity, protection, settings};
inline constexpr std::array v2SidebarPages{home, doctor, activity, rules, settings};
inline constexpr std::array v3SidebarPages{home, activity, settings};
inline constexpr std::array advancedPages{rules, check, doctor, log};
inline constexpr std::array footerPages{about};
inline constexpr std::array visiblePages{home, activity, protection, settings,
                                         rules, check, doctor, log, about};
inline constexpr auto allCases = vardex::allCases<VardexPage>();

}  // namespace VardexPages
}  // namespace vardex
