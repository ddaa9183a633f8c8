#pragma once

#include <string>
#include <string_view>

#include "protocol/wire_enum.hpp"

namespace vardex {

// Gemini CLI comes last so the first five keep the places the wire and the logs gave them.
enum class AgentKind { claude, cursor, codex, mcp, shim, gemini };

template <>
struct WireNames<AgentKind> {
    static constexpr std::array<std::pair<AgentKind, std::string_view>, 6> table{{
        {AgentKind::claude, "claude"},
        {AgentKind::cursor, "cursor"},
        {AgentKind::codex, "codex"},
        {AgentKind::mcp, "mcp"},
        {AgentKind::shim, "shim"},
        {AgentKind::gemini, "gemini"},
    }};
};

std::string_view displayName(AgentKind kind);
// The platform symbol name of the agent's badge.
std::string_view symbolName(AgentKind kind);

// Who performed an action.
struct AgentContext {
    AgentKind agent = AgentKind::claude;
    std::string sessionId;
    std::string cwd;
    bool autonomous = false;

    friend bool operator==(const AgentContext&, const AgentContext&) = default;
};

}  // namespace vardex
