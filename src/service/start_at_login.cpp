#include "service/start_at_login.hpp"

#include <nlohmann/json.hpp>

#include "policy/text_file.hpp"
#include "service/launch_agent.hpp"

namespace vardex {
namespace {

nlohmann::json readSettings(const std::filesystem::path& settingsFile) {
    auto bytes = readFileBytes(settingsFile);
    if (!bytes) return nlohmann::json::object();
    auto settings = nlohmann::json::parse(*bytes, nullptr, false);
    return settings.is_object() ? settings : nlohmann::json::object();
}

}  // namespace

bool loadStartAtLogin(const std::filesystem::path& settingsFile) {
    const auto settings = readSettings(settingsFile);
    const auto found = settings.find("startAtLogin");
    return found == settings.end() || !found->is_boolean() || found->get<bool>();
}

void storeStartAtLogin(const std::filesystem::path& settingsFile, bool on) {
    auto settings = readSettings(settingsFile);
    settings["startAtLogin"] = on;
    (void)writeServiceFile(settingsFile, settings.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace vardex
