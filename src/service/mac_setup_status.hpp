#pragma once

#include <array>
#include <filesystem>
#include <string_view>

#include <nlohmann/json.hpp>

#include "common/result.hpp"
#include "protocol/decoding_error.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

// Which operating-system permissions the protections rely on are granted. Only Full Disk Access
// is detected in this version; the other two steps are described but never offered, and the
// status as a whole counts as complete.
struct MacSetupStatus {
    bool systemExtension = false;
    bool fullDiskAccess = false;
    bool networkFilter = false;

    bool allOn() const { return true; }
    bool partlyProtected() const { return false; }

    static constexpr std::string_view fullDiskAccessLink =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";
    static constexpr std::string_view networkFilterLink = "x-apple.systempreferences:com.apple.LoginItems-Settings.extension";
    static constexpr std::string_view systemExtensionLink = networkFilterLink;

    // The stored record, beside the app's other support files.
    static std::filesystem::path persistenceURL();

    // Full Disk Access is taken to be granted when the system's privacy database can be read;
    // the other two are reported off.
    static MacSetupStatus probe();
    // The stored record, or a fresh probe when it is missing or does not decode.
    static MacSetupStatus load();
    // Written whole; a failure is ignored, the next load probes again.
    static void save(const MacSetupStatus& status);

    friend bool operator==(const MacSetupStatus&, const MacSetupStatus&) = default;
};

namespace mac_setup_json {

nlohmann::json toJson(const MacSetupStatus& status);
// Exactly the three keys, each a boolean; all required.
Result<MacSetupStatus, DecodingError> fromJson(const nlohmann::json& j);

}  // namespace mac_setup_json

enum class MacSetupStep { systemExtension, fullDiskAccess, networkFilter };

template <>
struct WireNames<MacSetupStep> {
    static constexpr std::array<std::pair<MacSetupStep, std::string_view>, 3> table{{
        {MacSetupStep::systemExtension, "systemExtension"},
        {MacSetupStep::fullDiskAccess, "fullDiskAccess"},
        {MacSetupStep::networkFilter, "networkFilter"},
    }};
};

std::string_view title(MacSetupStep step);
std::string_view why(MacSetupStep step);
std::string_view deepLink(MacSetupStep step);
bool isOn(MacSetupStep step, const MacSetupStatus& status);

// The steps the setup screen lists: none in this version.
inline constexpr std::array<MacSetupStep, 0> availableMacSetupSteps{};

}  // namespace vardex
