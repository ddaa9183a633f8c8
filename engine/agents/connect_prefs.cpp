#include "agents/connect_prefs.hpp"

#include <algorithm>

#include "agents/state_file.hpp"
#include "bridge/vardex_paths.hpp"

namespace vardex::engine {

std::filesystem::path ConnectPrefs::location() { return VardexPaths::userConfigDirectory() / "auto-connect.json"; }

ConnectPrefs ConnectPrefs::load() {
    const auto j = readStateObject(location());
    ConnectPrefs prefs;
    if (const auto on = j.find("auto_protect_new"); on != j.end() && on->is_boolean()) prefs.autoProtectNew = on->get<bool>();
    if (const auto yes = j.find("consented"); yes != j.end() && yes->is_boolean()) prefs.consented = yes->get<bool>();
    if (const auto off = j.find("disconnected"); off != j.end() && off->is_array()) {
        for (const auto& family : *off) {
            if (family.is_string()) prefs.markDisconnected(family.get<std::string>());
        }
    }
    return prefs;
}

Result<void, AgentConfigError> ConnectPrefs::save() const {
    auto j = readStateObject(location());
    j["auto_protect_new"] = autoProtectNew;
    j["consented"] = consented;
    j["disconnected"] = disconnected;
    return writeStateObject(location(), j);
}

bool ConnectPrefs::isDisconnected(std::string_view family) const {
    return std::find(disconnected.begin(), disconnected.end(), family) != disconnected.end();
}

void ConnectPrefs::markDisconnected(std::string_view family) {
    if (!isDisconnected(family)) disconnected.emplace_back(family);
}

void ConnectPrefs::markConnected(std::string_view family) {
    disconnected.erase(std::remove(disconnected.begin(), disconnected.end(), family), disconnected.end());
}

}  // namespace vardex::engine
