#include "agents/mcp_screen.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>
#include <utility>

#include "daemon/agent_action.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

using nlohmann::json;

constexpr std::size_t maxNameBytes = 4096;
// The walk visits at most this many values; a request larger than that is refused.
constexpr std::size_t maxVisited = 200'000;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

bool lowerStartsWith(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(text[i]))) != prefix[i]) return false;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "%2e%2e" and friends spelled out, as the server would before opening the file.
std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "file:///x", "file://localhost/x" and "file:/x" name /x.
std::string fileUriPath(std::string_view uri) {
    std::string_view rest = uri.substr(5);  // after "file:"
    if (startsWith(rest, "//")) {
        rest.remove_prefix(2);
        const auto slash = rest.find('/');
        if (slash == std::string_view::npos) return {};
        rest.remove_prefix(slash);
    }
    return percentDecoded(rest);
}

bool changesFiles(const std::string& tool) {
    std::string lower(tool);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    static constexpr std::string_view verbs[] = {"write", "edit",   "create", "move", "rename", "copy", "delete",
                                                 "remove", "mkdir", "upload", "save", "append", "put",  "patch"};
    return std::any_of(std::begin(verbs), std::end(verbs),
                       [&](std::string_view verb) { return lower.find(verb) != std::string::npos; });
}

// Every string inside `value`, keys of objects included, without recursion.
Result<std::vector<std::string>, std::string> stringsIn(const json& value) {
    std::vector<std::string> found;
    std::vector<const json*> pending{&value};
    std::size_t visited = 0;
    while (!pending.empty()) {
        const json* current = pending.back();
        pending.pop_back();
        if (++visited > maxVisited) return fail(std::string("This request is too large for Vardex to check, so it was blocked."));
        if (current->is_string()) {
            found.push_back(current->get<std::string>());
        } else if (current->is_object()) {
            for (auto it = current->begin(); it != current->end(); ++it) {
                found.push_back(it.key());
                pending.push_back(&it.value());
            }
        } else if (current->is_array()) {
            for (const auto& element : *current) pending.push_back(&element);
        }
    }
    return found;
}

}  // namespace

std::string namedFile(const std::string& text, const std::string& cwd) {
    if (text.empty() || text.size() > maxNameBytes) return {};
    if (std::any_of(text.begin(), text.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; })) return {};
    if (lowerStartsWith(text, "file:")) {
        const auto path = fileUriPath(text);
        return path.empty() ? std::string() : std::filesystem::path(path).lexically_normal().string();
    }
    if (text.find("://") != std::string::npos) return {};
    if (text.front() == '/') return std::filesystem::path(text).lexically_normal().string();
    // "~" and "~/..." are this user's home, spelled out so that ".." after it cannot walk out
    // unseen; "~name" is left for the engine.
    if (text == "~" || startsWith(text, "~/")) {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') return text;
        return (std::filesystem::path(home) / text.substr(std::min<std::size_t>(2, text.size()))).lexically_normal().string();
    }
    if (text.front() == '~') return text;
    // A relative name: one word that walks folders. Prose with a slash in it is not a file.
    const bool oneWord = text.find_first_of(" \t") == std::string::npos;
    const bool walks = text.find('/') != std::string::npos || text == "." || text == "..";
    if (!oneWord || !walks || cwd.empty()) return {};
    return (std::filesystem::path(cwd) / text).lexically_normal().string();
}

Result<std::vector<Action>, std::string> mcpRequestActions(const std::string& method, const json& params,
                                                           const std::string& server, const AgentContext& context) {
    std::vector<Action> actions;
    std::string tool;
    if (method == "tools/call") {
        const json name = params.is_object() ? params.value("name", json()) : json();
        if (!name.is_string()) return fail(std::string("Vardex could not tell which tool this is, so it was blocked."));
        tool = name.get<std::string>();
        const json arguments = params.is_object() ? params.value("arguments", json::object()) : json::object();
        auto value = ProtocolJSON::fromTree<JSONValue>(arguments);
        if (!value) return fail(std::string("Vardex could not read this tool call, so it was blocked."));
        actions.push_back(makeMcpAction(context, server, tool, std::move(value).value()));
    } else if (method == "resources/read") {
        const json uri = params.is_object() ? params.value("uri", json()) : json();
        if (!uri.is_string()) return fail(std::string("Vardex could not tell which resource this is, so it was blocked."));
        actions.push_back(makeMcpAction(context, server, method, JSONValue(JSONValue::Object{{"uri", JSONValue(uri.get<std::string>())}})));
    }

    auto strings = stringsIn(params);
    if (!strings) return fail(strings.error());
    std::set<std::string> seen;
    std::size_t names = 0;
    const bool writes = changesFiles(tool);
    for (const auto& text : *strings) {
        if (!seen.insert(text).second) continue;
        std::vector<Action> named;
        if (lowerStartsWith(text, "http://") || lowerStartsWith(text, "https://")) {
            named.push_back(makeNetworkAction(context, text));
        } else if (auto file = namedFile(text, context.cwd); !file.empty()) {
            named.push_back(makeFileAction(context, FileAccess::read, file));
            if (writes) named.push_back(makeFileAction(context, FileAccess::write, file));
        }
        if (named.empty()) continue;
        if (++names > maxScreenedNames) {
            return fail(std::string("This request names more files and addresses than Vardex checks at once, so it was "
                                    "blocked; split it into smaller ones."));
        }
        for (auto& action : named) actions.push_back(std::move(action));
    }
    return actions;
}

}  // namespace vardex::engine
