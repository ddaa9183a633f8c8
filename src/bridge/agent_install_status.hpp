#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/doctor_report.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

// One agent family whose hooks the app can connect, or the row for MCP tool servers.
struct AgentInstallRow {
    enum class Kind { cursor, claude, codex, gemini, mcp };

    std::string id;
    std::string title;
    bool detected = false;
    bool installed = false;
    std::string message;
    Kind kind = Kind::cursor;

    std::string statusLabel() const;

    friend bool operator==(const AgentInstallRow&, const AgentInstallRow&) = default;
};

template <>
struct WireNames<AgentInstallRow::Kind> {
    using Kind = AgentInstallRow::Kind;
    static constexpr std::array<std::pair<Kind, std::string_view>, 5> table{{{Kind::cursor, "cursor"},
                                                                          {Kind::claude, "claude"},
                                                                          {Kind::codex, "codex"},
                                                                          {Kind::gemini, "gemini"},
                                                                          {Kind::mcp, "mcp"}}};
};

// Which coding agents are on this computer, found on disk, and whether the engine's hooks
// reach them, from the last health report. Reads the file system only; runs nothing.
namespace AgentInstallStatus {

// The rows cursor, claude, codex, gemini and mcp, in that order. With no report every hook row is
// "not connected".
std::vector<AgentInstallRow> load(const std::optional<DoctorReport>& doctor);

// For the hook families: the application in "/Applications" or in HOME's "Applications", the
// command on the search path, or the hook file (or the folder it would live in) under HOME.
// For `mcp`: any of the known MCP configuration files. `configRelative` is ignored for `mcp`.
bool isPresent(AgentInstallRow::Kind kind, std::string_view configRelative);

// Whether an executable named `name` lies in the usual program folders or on PATH; each
// folder is looked at once however often it is listed.
bool commandExists(std::string_view name);

}  // namespace AgentInstallStatus

}  // namespace vardex
