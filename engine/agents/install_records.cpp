#include "agents/install_records.hpp"

#include "agents/state_file.hpp"
#include "bridge/vardex_paths.hpp"

namespace vardex::engine {

std::filesystem::path InstallRecords::location() { return VardexPaths::userConfigDirectory() / "installs.json"; }

InstallRecords InstallRecords::load() {
    InstallRecords records;
    const auto j = readStateObject(location());
    for (const auto& [path, entry] : j.items()) {
        if (!entry.is_object() || !entry.contains("clean") || !entry["clean"].is_string()) continue;
        InstallRecord record;
        record.clean = entry["clean"].get<std::string>();
        if (const auto original = entry.find("original"); original != entry.end() && original->is_string()) {
            record.original = original->get<std::string>();
        }
        if (const auto folders = entry.find("created_folders"); folders != entry.end() && folders->is_array()) {
            for (const auto& folder : *folders) {
                if (folder.is_string()) record.createdFolders.push_back(folder.get<std::string>());
            }
        }
        records.byPath.emplace(path, std::move(record));
    }
    return records;
}

Result<void, AgentConfigError> InstallRecords::save() const {
    nlohmann::json j = nlohmann::json::object();
    for (const auto& [path, record] : byPath) {
        j[path] = {{"original", record.original ? nlohmann::json(*record.original) : nlohmann::json(nullptr)},
                   {"clean", record.clean},
                   {"created_folders", record.createdFolders}};
    }
    return writeStateObject(location(), j);
}

}  // namespace vardex::engine
