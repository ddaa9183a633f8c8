#include <locale.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"

namespace vardex {

namespace {

bool envIsOne(std::string_view name) { return VardexPaths::env(name) == std::optional<std::string>("1"); }

std::optional<nlohmann::json> readJSONObject(const std::filesystem::path& file) {
    const auto bytes = readFileBytes(file);
    if (!bytes) return std::nullopt;
    auto value = nlohmann::json::parse(*bytes, nullptr, false);
    if (!value.is_object()) return std::nullopt;
    return value;
}

std::optional<bool> booleanMember(const std::optional<nlohmann::json>& object, const std::string& key) {
    if (!object) return std::nullopt;
    const auto found = object->find(key);
    if (found == object->end() || !found->is_boolean()) return std::nullopt;
    return found->get<bool>();
}

// A whole number of seconds: an optional "+", then ASCII digits that fit in 64 bits. A "-" is
// let through only in front of a zero, which is still zero.
std::optional<std::uint64_t> readWholeSeconds(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (negative && value != 0) return std::nullopt;
    return value;
}

// A decimal number, exponents allowed, the whole text and nothing else. Too large a number
// reads as an infinity and too small a one as zero, so the range check decides about them.
std::optional<double> readDecimalNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size()) return std::nullopt;
    if (error == std::errc()) return value;
    if (error != std::errc::result_out_of_range) return std::nullopt;
    // from_chars leaves the value alone when out of range; strtod in the C locale rounds it
    // to an infinity or to zero.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", locale_t{});
    const std::string copy(text);
    return ::strtod_l(copy.c_str(), nullptr, cLocale);
}

}  // namespace

std::optional<nlohmann::json> VardexStore::readSettingsObject() const { return readJSONObject(VardexPaths::settingsURL()); }

void VardexStore::writeSettingsObject(const nlohmann::json& settings) const {
    (void)VardexPaths::ensureDirectory(VardexPaths::supportDirectory());
    (void)writeTextFileAtomically(VardexPaths::settingsURL(),
                                  settings.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

bool VardexStore::settingFlag(const std::string& key, bool defaultValue) const {
    return booleanMember(readSettingsObject(), key).value_or(defaultValue);
}

void VardexStore::persistSetting(const std::string& key, bool value) {
    auto settings = readSettingsObject().value_or(nlohmann::json::object());
    settings[key] = value;
    writeSettingsObject(settings);
}

bool VardexStore::firstLaunchCompleted() const { return settingFlag("firstLaunchCompleted", false); }

void VardexStore::persistFirstLaunchCompleted() { persistSetting("firstLaunchCompleted", true); }

bool VardexStore::shouldShowConnectConsent() const {
    if (envIsOne("VARDEX_SKIP_ONBOARDING") || envIsOne("VARDEX_SKIP_CONSENT")) return false;
    return !settingFlag("connectConsented", false);
}

void VardexStore::loadAutoConnectPrefs() {
    // The engine tooling's own file, when it says anything, wins over the app's setting.
    autoProtectNew = booleanMember(readJSONObject(VardexPaths::userConfigDirectory() / "auto-connect.json"),
                                   "auto_protect_new")
                         .value_or(settingFlag("autoProtectNew", true));
    publish();
}

void VardexStore::saveSettings() {
    const auto seconds = readWholeSeconds(unicode::trimmed(askTimeoutText));
    const auto caution = readDecimalNumber(unicode::trimmed(askThresholdText));
    if (!seconds) {
        policyError = std::string(UIStrings::askTimeoutError);
    } else if (!caution) {
        policyError = std::string(UIStrings::askThresholdNumberError);
    } else if (!(*caution >= 0 && *caution <= 1)) {
        policyError = std::string(UIStrings::askThresholdRangeError);
    } else {
        editPolicy([seconds = *seconds, caution = *caution](UserPolicyFile& policy) {
            policy.askTimeoutSeconds = seconds;
            policy.askThreshold = caution;
        });
    }
    publish();
}

void VardexStore::skipOnboarding(bool opening) {
    showOnboarding = false;
    persistFirstLaunchCompleted();
    publish();
    if (opening) ports_.windows.openDashboardWindow();
}

void VardexStore::rerunOnboarding() {
    onboardingStep = 1;
    onboardingEnabled.clear();
    showOnboarding = true;
    publish();
    ports_.windows.openDashboardWindow();
}

}  // namespace vardex
