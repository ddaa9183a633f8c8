#include "agents/agent_setup.hpp"

#include <algorithm>
#include <system_error>

#include "agents/config_install.hpp"
#include "agents/hook_entries.hpp"
#include "agents/mcp_proxy_entries.hpp"
#include "bridge/vardex_paths.hpp"
#include "protocol/wire_enum.hpp"
#include "strings/ui_strings.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

std::string_view hookFileRelative(AgentFamily family) {
    switch (family) {
        case AgentFamily::cursor: return ".cursor/hooks.json";
        case AgentFamily::claude: return ".claude/settings.json";
        case AgentFamily::codex: return ".codex/hooks.json";
        case AgentFamily::gemini: return ".gemini/settings.json";
        case AgentFamily::mcp: break;
    }
    return {};
}

AgentKind agentKindOf(AgentFamily family) {
    switch (family) {
        case AgentFamily::cursor: return AgentKind::cursor;
        case AgentFamily::claude: return AgentKind::claude;
        case AgentFamily::codex: return AgentKind::codex;
        case AgentFamily::gemini: return AgentKind::gemini;
        case AgentFamily::mcp: break;
    }
    return AgentKind::mcp;
}

std::vector<fs::path> existingMcpConfigs() {
    std::vector<fs::path> found;
    for (auto& candidate : VardexPaths::mcpConfigCandidates()) {
        std::error_code code;
        if (fs::exists(candidate, code)) found.push_back(std::move(candidate));
    }
    return found;
}

ConfigEdit hookEdit(AgentFamily family, const std::string& command) {
    return {[=](const std::optional<std::string>& text) { return withHook(text, family, command); },
            [=](const std::string& text) { return withoutHook(text, family); }};
}

ConfigEdit mcpEdit(const fs::path& config, const std::string& program) {
    return {[=](const std::optional<std::string>& text) { return withMcpProxy(text, config, program); },
            [=](const std::string& text) { return withoutMcpProxy(text, config); }};
}

void note(FamilyChange& change, const fs::path& file, const Result<bool, AgentConfigError>& outcome) {
    if (!outcome) {
        change.errors.push_back(outcome.error());
    } else if (*outcome) {
        change.changedFiles.push_back(file);
    }
}

}  // namespace

std::string familyTitle(AgentFamily family) {
    if (family == AgentFamily::mcp) return "AI tools and plugins";
    return std::string(UIStrings::agentName(agentKindOf(family)));
}

fs::path hookFile(AgentFamily family) {
    if (family == AgentFamily::mcp) return {};
    return VardexPaths::homeDirectory() / hookFileRelative(family);
}

bool isPresent(AgentFamily family) { return AgentInstallStatus::isPresent(family, hookFileRelative(family)); }

bool isConnected(AgentFamily family) {
    if (family == AgentFamily::mcp) {
        const auto configs = existingMcpConfigs();
        return std::any_of(configs.begin(), configs.end(), [](const fs::path& config) {
            const auto text = readConfig(config);
            return text && proxiedServerCount(*text, config) > 0;
        });
    }
    const auto text = readConfig(hookFile(family));
    return text && installedHooks(*text, family).size() == hookEvents(family).size();
}

FamilyChange connectFamily(AgentFamily family, const fs::path& program, InstallRecords& records) {
    FamilyChange change{family, {}, {}};
    if (family == AgentFamily::mcp) {
        for (const auto& config : existingMcpConfigs()) {
            note(change, config, addToConfig(config, mcpEdit(config, program.string()), records, false));
        }
        return change;
    }
    const auto file = hookFile(family);
    note(change, file, addToConfig(file, hookEdit(family, hookCommand(program, family)), records, true));
    return change;
}

FamilyChange disconnectFamily(AgentFamily family, InstallRecords& records) {
    FamilyChange change{family, {}, {}};
    if (family == AgentFamily::mcp) {
        for (const auto& config : existingMcpConfigs()) {
            note(change, config, removeFromConfig(config, mcpEdit(config, {}), records));
        }
        return change;
    }
    const auto file = hookFile(family);
    note(change, file, removeFromConfig(file, hookEdit(family, {}), records));
    return change;
}

nlohmann::json ConnectReport::toJson() const {
    nlohmann::json j{{"auto_protect_new", autoProtectNew},
                     {"consented", consented},
                     {"connected", nlohmann::json::array()},
                     {"notifications", notifications},
                     {"errors", nlohmann::json::array()},
                     {"agents", nlohmann::json::array()}};
    for (const auto family : connected) j["connected"].push_back(wireText(family));
    for (const auto& error : errors) j["errors"].push_back(error.description());
    for (const auto family : allCases<AgentFamily>()) {
        j["agents"].push_back({{"id", wireText(family)},
                               {"title", familyTitle(family)},
                               {"detected", isPresent(family)},
                               {"installed", isConnected(family)}});
    }
    return j;
}

ConnectReport autoConnect(const ConnectPrefs& prefs, const fs::path& program) {
    ConnectReport report;
    report.autoProtectNew = prefs.autoProtectNew;
    report.consented = prefs.consented;
    if (!prefs.autoProtectNew) return report;
    auto records = InstallRecords::load();
    for (const auto family : allCases<AgentFamily>()) {
        if (prefs.isDisconnected(wireText(family)) || !isPresent(family)) continue;
        const bool wasConnected = isConnected(family);
        // Connecting a connected family still picks up what is new: a server added to an MCP
        // file, a hook pointing at an engine that has moved.
        auto change = connectFamily(family, program, records);
        report.errors.insert(report.errors.end(), change.errors.begin(), change.errors.end());
        if (!wasConnected && isConnected(family)) {
            report.connected.push_back(family);
            report.notifications.push_back(UIStrings::nowProtecting(familyTitle(family)));
        }
    }
    return report;
}

}  // namespace vardex::engine
