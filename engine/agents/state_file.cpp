#include "agents/state_file.hpp"

#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"

namespace vardex::engine {

nlohmann::json readStateObject(const std::filesystem::path& file) {
    auto text = readFileBytes(file);
    if (!text) return nlohmann::json::object();
    auto parsed = nlohmann::json::parse(*text, nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

Result<void, AgentConfigError> writeStateObject(const std::filesystem::path& file, const nlohmann::json& object) {
    if (auto folder = VardexPaths::ensureDirectory(file.parent_path()); !folder) {
        return fail(AgentConfigError::writeFailed(file.string(), folder.error().code.message()));
    }
    if (auto written = writeTextFileAtomically(file, object.dump(2) + "\n"); !written) {
        return fail(AgentConfigError::writeFailed(file.string(), written.error().reason()));
    }
    return {};
}

}  // namespace vardex::engine
