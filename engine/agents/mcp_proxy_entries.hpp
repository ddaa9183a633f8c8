#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "agents/agent_config_error.hpp"
#include "common/result.hpp"

// The engine's wrapper around the MCP servers coding agents start. A server launched as
// `command args...` is launched instead as `<vardex> mcp-proxy --server NAME -- command args...`,
// so every tool call passes the engine first; removing the wrapper gives the command and its
// arguments back. Servers reached by URL are left alone. JSON files keep their servers under
// "mcpServers" (and, in Claude Code's file, under each project); Codex's TOML file under
// [mcp_servers.NAME] tables. Everything here works on text and touches no file.
namespace vardex::engine {

inline constexpr std::string_view mcpProxyVerb = "mcp-proxy";

// The text with every server launched through `program`; servers already wrapped are pointed
// at `program`. `config` says the file's format by its extension.
Result<std::string, ConfigProblem> withMcpProxy(const std::optional<std::string>& text,
                                                const std::filesystem::path& config, const std::string& program);

// The text with every wrapper undone; nothing when no server was wrapped.
std::optional<std::string> withoutMcpProxy(const std::string& text, const std::filesystem::path& config);

// How many servers the text launches through the engine.
std::size_t proxiedServerCount(const std::string& text, const std::filesystem::path& config);

}  // namespace vardex::engine
