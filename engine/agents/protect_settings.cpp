#include "agents/protect_settings.hpp"

#include "agents/state_file.hpp"
#include "bridge/vardex_paths.hpp"

namespace vardex::engine::ProtectSettings {

std::filesystem::path location() { return VardexPaths::userConfigDirectory() / "protect.json"; }

std::vector<ProtectAppRow> rows() {
    const auto switches = readStateObject(location());
    auto list = ProtectAppRow::catalog();
    for (auto& row : list) {
        if (const auto found = switches.find(row.id); found != switches.end() && found->is_boolean()) {
            row.protect = found->get<bool>();
        }
    }
    return list;
}

std::optional<bool> isProtected(std::string_view id) {
    for (const auto& row : rows()) {
        if (row.id == id) return row.protect;
    }
    return std::nullopt;
}

Result<void, AgentConfigError> set(std::string_view id, bool on) {
    auto switches = readStateObject(location());
    if (on) {
        switches.erase(std::string(id));
    } else {
        switches[std::string(id)] = false;
    }
    return writeStateObject(location(), switches);
}

}  // namespace vardex::engine::ProtectSettings
