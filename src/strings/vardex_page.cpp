#include "strings/vardex_page.hpp"

#include "strings/ui_strings.hpp"

namespace vardex {

std::string_view title(VardexPage page) {
    switch (page) {
        case VardexPage::home: return UIStrings::navHome;
        case VardexPage::activity: return UIStrings::navActivity;
        case VardexPage::protection: return UIStrings::navProtection;
        case VardexPage::settings: return UIStrings::navSettings;
        case VardexPage::onboarding:
        case VardexPage::install: return UIStrings::onboardingWelcome;
        case VardexPage::rules: return UIStrings::navRules;
        case VardexPage::check: return UIStrings::navCheck;
        case VardexPage::doctor: return UIStrings::navHealth;
        case VardexPage::log: return UIStrings::navRawLog;
        case VardexPage::about: return UIStrings::navAbout;
        case VardexPage::folders: return UIStrings::foldersHeading;
    }
    return {};
}

std::string_view subtitle(VardexPage page) {
    switch (page) {
        case VardexPage::home: return UIStrings::navHomeWhy;
        case VardexPage::activity: return UIStrings::navActivityWhy;
        case VardexPage::protection:
        case VardexPage::folders: return UIStrings::navProtectionWhy;
        case VardexPage::rules: return UIStrings::navRulesWhy;
        case VardexPage::check: return UIStrings::navCheckWhy;
        case VardexPage::doctor: return UIStrings::navHealthWhy;
        case VardexPage::log: return UIStrings::navRawLogWhy;
        case VardexPage::settings:
        case VardexPage::onboarding:
        case VardexPage::about:
        case VardexPage::install: return {};
    }
    return {};
}

std::string_view symbolName(VardexPage page) {
    switch (page) {
        case VardexPage::home: return "checkmark.shield.fill";
        case VardexPage::activity: return "list.bullet.rectangle";
        case VardexPage::protection: return "lock.shield";
        case VardexPage::settings: return "gearshape";
        case VardexPage::onboarding: return "hand.wave";
        case VardexPage::rules: return "checklist";
        case VardexPage::check: return "play.circle";
        case VardexPage::doctor: return "stethoscope";
        case VardexPage::log: return "doc.text.magnifyingglass";
        case VardexPage::about: return "info.circle";
        case VardexPage::install: return "arrow.down.circle";
        case VardexPage::folders: return "folder.badge.minus";
    }
    return {};
}

}  // namespace vardex
