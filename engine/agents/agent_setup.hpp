#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "agents/agent_config_error.hpp"
#include "agents/connect_prefs.hpp"
#include "agents/install_records.hpp"
#include "bridge/agent_install_status.hpp"

// Connecting the engine to coding agents and taking it away again: hooks for Cursor, Claude
// Code, Codex and Gemini CLI, the MCP proxy for tool servers.
namespace vardex::engine {

using AgentFamily = AgentInstallRow::Kind;

// "Cursor", "Claude Code", "Codex", "Gemini CLI", "AI tools and plugins".
std::string familyTitle(AgentFamily family);

// The family's hook file under HOME; empty for `mcp`, whose files are the MCP candidates.
std::filesystem::path hookFile(AgentFamily family);

// The agent, or for `mcp` any MCP configuration file, is on this computer.
bool isPresent(AgentFamily family);

// Every event of the family's hook file runs the engine (`mcp`: at least one server goes
// through the proxy).
bool isConnected(AgentFamily family);

// What connecting or disconnecting one family did.
struct FamilyChange {
    AgentFamily family = AgentFamily::cursor;
    std::vector<std::filesystem::path> changedFiles;
    std::vector<AgentConfigError> errors;

    bool ok() const { return errors.empty(); }
};

// Registers `program` as the family's hook (creating the hook file when needed), or wraps the
// servers of every MCP configuration file that exists. Files that fail are reported and the
// others still done.
FamilyChange connectFamily(AgentFamily family, const std::filesystem::path& program, InstallRecords& records);

// Takes the engine's entries out of the family's files, giving each file back as it was when
// nothing else changed in it.
FamilyChange disconnectFamily(AgentFamily family, InstallRecords& records);

// One run of the auto-connect scan ("connect --json").
struct ConnectReport {
    bool autoProtectNew = true;
    bool consented = false;
    std::vector<AgentFamily> connected;
    // One "Now protecting <agent>" sentence per newly connected family; the app announces them.
    std::vector<std::string> notifications;
    std::vector<AgentConfigError> errors;

    nlohmann::json toJson() const;
};

// Connects every family that is present, not connected and not disconnected by the user, when
// `prefs.autoProtectNew` is on; otherwise only reports.
ConnectReport autoConnect(const ConnectPrefs& prefs, const std::filesystem::path& program);

}  // namespace vardex::engine
