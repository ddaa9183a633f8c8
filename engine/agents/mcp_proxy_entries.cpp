#include "agents/mcp_proxy_entries.hpp"

#include <functional>
#include <vector>

#include "agents/config_json.hpp"
#include "agents/toml_servers.hpp"

namespace vardex::engine {
namespace {

// Only a program named "vardex" can be the engine's wrapper, wherever it lies.
bool isProgramOfOurs(std::string_view command) { return std::filesystem::path(command).filename() == "vardex"; }

// Where the wrapped command starts in a wrapper's arguments, when they are the engine's.
std::optional<std::size_t> wrappedCommandIndex(std::string_view command, const std::vector<std::string>& args) {
    if (!isProgramOfOurs(command) || args.empty() || args.front() != mcpProxyVerb) return std::nullopt;
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--") return i + 1;
    }
    return std::nullopt;
}

std::vector<std::string> wrapperArgs(const std::string& name, const std::string& command,
                                     const std::vector<std::string>& args) {
    std::vector<std::string> wrapped{std::string(mcpProxyVerb), "--server", name, "--", command};
    wrapped.insert(wrapped.end(), args.begin(), args.end());
    return wrapped;
}

// ---- JSON files ----

std::optional<std::vector<std::string>> stringList(const OrderedJson& server) {
    std::vector<std::string> list;
    const auto args = server.find("args");
    if (args == server.end()) return list;
    if (!args->is_array()) return std::nullopt;
    for (const auto& arg : *args) {
        if (!arg.is_string()) return std::nullopt;
        list.push_back(arg.get<std::string>());
    }
    return list;
}

void forEachServerMap(OrderedJson& root, const std::function<void(OrderedJson&)>& visit) {
    if (auto servers = root.find("mcpServers"); servers != root.end() && servers->is_object()) visit(*servers);
    if (auto projects = root.find("projects"); projects != root.end() && projects->is_object()) {
        for (auto& project : *projects) {
            if (!project.is_object()) continue;
            if (auto servers = project.find("mcpServers"); servers != project.end() && servers->is_object()) {
                visit(*servers);
            }
        }
    }
}

struct JsonServer {
    std::string name;
    OrderedJson* entry;
    std::string command;
    std::vector<std::string> args;
};

void forEachLaunchedServer(OrderedJson& root, const std::function<void(JsonServer&)>& visit) {
    forEachServerMap(root, [&](OrderedJson& servers) {
        for (auto it = servers.begin(); it != servers.end(); ++it) {
            auto& entry = it.value();
            if (!entry.is_object()) continue;
            const auto command = entry.find("command");
            if (command == entry.end() || !command->is_string()) continue;
            auto args = stringList(entry);
            if (!args) continue;
            JsonServer server{it.key(), &entry, command->get<std::string>(), std::move(*args)};
            visit(server);
        }
    });
}

Result<std::string, ConfigProblem> wrapJson(const std::optional<std::string>& text, const std::string& program) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return fail(parsed.error());
    forEachLaunchedServer(*parsed, [&](JsonServer& server) {
        auto& entry = *server.entry;
        if (wrappedCommandIndex(server.command, server.args)) {
            entry["command"] = program;
            return;
        }
        entry["command"] = program;
        entry["args"] = wrapperArgs(server.name, server.command, server.args);
    });
    return configText(*parsed);
}

std::optional<std::string> unwrapJson(const std::string& text) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return std::nullopt;
    bool changed = false;
    forEachLaunchedServer(*parsed, [&](JsonServer& server) {
        const auto start = wrappedCommandIndex(server.command, server.args);
        if (!start) return;
        changed = true;
        auto& entry = *server.entry;
        entry["command"] = server.args[*start];
        std::vector<std::string> rest(server.args.begin() + static_cast<std::ptrdiff_t>(*start) + 1, server.args.end());
        // The wrapper always has arguments; a server that had none gets none back.
        if (rest.empty()) {
            entry.erase("args");
        } else {
            entry["args"] = std::move(rest);
        }
    });
    if (!changed) return std::nullopt;
    return configText(*parsed);
}

std::size_t countJson(const std::string& text) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return 0;
    std::size_t count = 0;
    forEachLaunchedServer(*parsed, [&](JsonServer& server) {
        if (wrappedCommandIndex(server.command, server.args)) ++count;
    });
    return count;
}

// ---- TOML files ----

Result<std::string, ConfigProblem> wrapToml(const std::optional<std::string>& text, const std::string& program) {
    if (!text) return std::string();
    TomlServers file(*text);
    for (auto& server : file.servers()) {
        if (wrappedCommandIndex(server.command, server.args)) {
            file.setLaunch(server, program, server.args);
        } else {
            file.setLaunch(server, program, wrapperArgs(server.name, server.command, server.args));
        }
    }
    return file.text();
}

std::optional<std::string> unwrapToml(const std::string& text) {
    TomlServers file(text);
    bool changed = false;
    for (auto& server : file.servers()) {
        const auto start = wrappedCommandIndex(server.command, server.args);
        if (!start) continue;
        changed = true;
        std::vector<std::string> rest(server.args.begin() + static_cast<std::ptrdiff_t>(*start) + 1, server.args.end());
        file.setLaunch(server, server.args[*start], rest);
    }
    if (!changed) return std::nullopt;
    return file.text();
}

std::size_t countToml(const std::string& text) {
    std::size_t count = 0;
    TomlServers file(text);
    for (const auto& server : file.servers()) {
        if (wrappedCommandIndex(server.command, server.args)) ++count;
    }
    return count;
}

bool isToml(const std::filesystem::path& config) { return config.extension() == ".toml"; }

}  // namespace

Result<std::string, ConfigProblem> withMcpProxy(const std::optional<std::string>& text,
                                                const std::filesystem::path& config, const std::string& program) {
    return isToml(config) ? wrapToml(text, program) : wrapJson(text, program);
}

std::optional<std::string> withoutMcpProxy(const std::string& text, const std::filesystem::path& config) {
    return isToml(config) ? unwrapToml(text) : unwrapJson(text);
}

std::size_t proxiedServerCount(const std::string& text, const std::filesystem::path& config) {
    return isToml(config) ? countToml(text) : countJson(text);
}

}  // namespace vardex::engine
