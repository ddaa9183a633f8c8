#include "bridge/home_layout.hpp"

namespace vardex {
namespace {

std::optional<std::filesystem::path> baseDirectory(const std::optional<std::string>& variable) {
    if (!variable || variable->empty() || variable->front() != '/') return std::nullopt;
    return std::filesystem::path(*variable);
}

}  // namespace

HomeLayout libraryLayout(const LayoutEnvironment& environment) {
    const auto& home = environment.home;
    const auto support = home / "Library/Application Support/Talvenor";
    const auto logs = home / "Library/Logs/Talvenor";
    return {support,          logs, logs / "vardex", home / ".config/talvenor/vardex", support / "vardex.sock",
            home / "Library/Application Support/Claude/claude_desktop_config.json", "/Library/Keychains"};
}

HomeLayout xdgLayout(const LayoutEnvironment& environment) {
    const auto& home = environment.home;
    const auto state = baseDirectory(environment.xdgStateHome).value_or(home / ".local/state") / "talvenor";
    const auto config = baseDirectory(environment.xdgConfigHome).value_or(home / ".config");
    const auto runtime = baseDirectory(environment.xdgRuntimeDir);
    return {state,
            state / "logs",
            state / "vardex",
            config / "talvenor/vardex",
            runtime ? *runtime / "talvenor/vardex.sock" : state / "vardex.sock",
            config / "Claude/claude_desktop_config.json",
            home / ".local/share/keyrings"};
}

}  // namespace vardex
