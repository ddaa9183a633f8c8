#include "service/mac_setup_status.hpp"

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {
namespace {

using nlohmann::json;

constexpr const char* privacyDatabase = "/Library/Application Support/com.apple.TCC/TCC.db";
constexpr const char* keys[] = {"systemExtension", "fullDiskAccess", "networkFilter"};

}  // namespace

std::filesystem::path MacSetupStatus::persistenceURL() {
    return VardexPaths::supportDirectory() / "mac-setup.json";
}

MacSetupStatus MacSetupStatus::probe() {
    // Reading this protected file is only possible with Full Disk Access; on Linux it never
    // exists, so the probe reports every permission off.
    return MacSetupStatus{false, ::access(privacyDatabase, R_OK) == 0, false};
}

MacSetupStatus MacSetupStatus::load() {
    std::ifstream in(persistenceURL(), std::ios::binary);
    if (!in) return probe();
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto document = json::parse(text, nullptr, false);
    if (document.is_discarded()) return probe();
    auto status = mac_setup_json::fromJson(document);
    if (!status) return probe();
    return *status;
}

void MacSetupStatus::save(const MacSetupStatus& status) {
    const auto file = persistenceURL();
    (void)VardexPaths::ensureDirectory(file.parent_path());
    (void)writeTextFileAtomically(file, mac_setup_json::toJson(status).dump());
}

namespace mac_setup_json {

json toJson(const MacSetupStatus& status) {
    return {{"systemExtension", status.systemExtension},
            {"fullDiskAccess", status.fullDiskAccess},
            {"networkFilter", status.networkFilter}};
}

Result<MacSetupStatus, DecodingError> fromJson(const json& j) {
    if (!j.is_object()) return fail(DecodingError::typeMismatch("", "object"));
    bool values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const auto found = j.find(keys[i]);
        if (found == j.end()) return fail(DecodingError::keyNotFound(keys[i]));
        if (!found->is_boolean()) return fail(DecodingError::typeMismatch(keys[i], "boolean"));
        values[i] = found->get<bool>();
    }
    return MacSetupStatus{values[0], values[1], values[2]};
}

}  // namespace mac_setup_json

std::string_view title(MacSetupStep step) {
    switch (step) {
    case MacSetupStep::systemExtension:
        return UIStrings::macSetupSystemExtension;
    case MacSetupStep::fullDiskAccess:
        return UIStrings::setupFullDiskAccess;
    case MacSetupStep::networkFilter:
        return UIStrings::macSetupNetworkFilter;
    }
    return {};
}

std::string_view why(MacSetupStep step) {
    switch (step) {
    case MacSetupStep::systemExtension:
        return UIStrings::macSetupSystemExtensionWhy;
    case MacSetupStep::fullDiskAccess:
        return UIStrings::macSetupFullDiskAccessWhy;
    case MacSetupStep::networkFilter:
        return UIStrings::macSetupNetworkFilterWhy;
    }
    return {};
}

std::string_view deepLink(MacSetupStep step) {
    return step == MacSetupStep::fullDiskAccess ? MacSetupStatus::fullDiskAccessLink : MacSetupStatus::networkFilterLink;
}

bool isOn(MacSetupStep step, const MacSetupStatus& status) {
    switch (step) {
    case MacSetupStep::systemExtension:
        return status.systemExtension;
    case MacSetupStep::fullDiskAccess:
        return status.fullDiskAccess;
    case MacSetupStep::networkFilter:
        return status.networkFilter;
    }
    return false;
}

}  // namespace vardex
