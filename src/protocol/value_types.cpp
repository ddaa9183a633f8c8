#include <charconv>
#include <cmath>
#include <cstdio>

#include "protocol/agent_context.hpp"
#include "protocol/decision.hpp"

namespace vardex {

std::string_view displayName(AgentKind kind) {
    switch (kind) {
        case AgentKind::claude: return "Claude Code";
        case AgentKind::cursor: return "Cursor";
        case AgentKind::codex: return "Codex";
        case AgentKind::mcp: return "MCP";
        case AgentKind::shim: return "Shim";
        case AgentKind::gemini: return "Gemini CLI";
    }
    return {};
}

std::string_view symbolName(AgentKind kind) {
    switch (kind) {
        case AgentKind::claude: return "c.circle.fill";
        case AgentKind::cursor: return "curlybraces";
        case AgentKind::codex: return "chevron.left.forwardslash.chevron.right";
        case AgentKind::mcp: return "server.rack";
        case AgentKind::shim: return "terminal";
        case AgentKind::gemini: return "sparkles";
    }
    return {};
}

std::string shortestDecimal(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    // Whole numbers below 2^53 keep a ".0" so they still read as doubles ("2.0").
    if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", value);
        return buffer;
    }
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

Result<RiskScore, DecodingError> RiskScore::make(double value) {
    if (!std::isfinite(value) || value < min || value > max) {
        return fail(DecodingError::corrupted(
            "risk score must be a finite number in 0.0...1.0, got " + shortestDecimal(value)));
    }
    return RiskScore(value);
}

}  // namespace vardex
