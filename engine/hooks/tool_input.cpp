#include "hooks/tool_input.hpp"

#include <array>
#include <filesystem>

#include "core/shell_quote.hpp"
#include "daemon/agent_action.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine::ToolInput {
namespace {

constexpr std::array<std::string_view, 6> shells{"sh", "bash", "zsh", "dash", "ksh", "fish"};
constexpr std::array<std::string_view, 4> scriptFlags{"-c", "-lc", "-cl", "-ic"};

template <class List>
bool listed(const List& list, std::string_view word) {
    for (const auto item : list) {
        if (item == word) return true;
    }
    return false;
}

bool endsAddress(char c) {
    return static_cast<unsigned char>(c) <= ' ' || std::string_view("\"'<>()[]{}`|\\^").find(c) != std::string_view::npos;
}

}  // namespace

const nlohmann::json* member(const nlohmann::json& object, std::initializer_list<std::string_view> keys) {
    if (!object.is_object()) return nullptr;
    for (const auto key : keys) {
        const auto found = object.find(key);
        if (found != object.end()) return &*found;
    }
    return nullptr;
}

std::string text(const nlohmann::json& object, std::initializer_list<std::string_view> keys) {
    if (!object.is_object()) return {};
    for (const auto key : keys) {
        const auto found = object.find(key);
        if (found != object.end() && found->is_string()) return found->get<std::string>();
    }
    return {};
}

std::optional<std::string> commandLine(const nlohmann::json* value) {
    if (value == nullptr) return std::nullopt;
    if (value->is_string()) {
        auto line = value->get<std::string>();
        if (line.empty()) return std::nullopt;
        return line;
    }
    if (!value->is_array() || value->empty()) return std::nullopt;
    std::vector<std::string> words;
    for (const auto& word : *value) {
        if (!word.is_string()) return std::nullopt;
        words.push_back(word.get<std::string>());
    }
    if (words.size() == 3 && listed(shells, std::filesystem::path(words[0]).filename().string()) &&
        listed(scriptFlags, words[1])) {
        if (words[2].empty()) return std::nullopt;
        return words[2];
    }
    std::string line;
    for (const auto& word : words) line += (line.empty() ? "" : " ") + shellQuoted(word);
    return line;
}

Actions mcpCall(AgentContext context, std::string server, std::string tool, const nlohmann::json* arguments) {
    nlohmann::json tree = nlohmann::json::object();
    if (arguments != nullptr && arguments->is_string()) {
        tree = nlohmann::json::parse(arguments->get<std::string>(), nullptr, false);
        if (tree.is_discarded()) return fail("The arguments of " + tool + " are not JSON.");
    } else if (arguments != nullptr && !arguments->is_null()) {
        tree = *arguments;
    }
    auto decoded = ProtocolJSON::fromTree<JSONValue>(tree);
    if (!decoded) return fail("The arguments of " + tool + " do not read: " + decoded.error().description());
    return just(makeMcpAction(std::move(context), std::move(server), std::move(tool), std::move(decoded).value()));
}

std::optional<std::pair<std::string, std::string>> splitToolName(std::string_view name, std::string_view prefix,
                                                                 std::string_view separator) {
    if (!name.starts_with(prefix)) return std::nullopt;
    const auto rest = name.substr(prefix.size());
    const auto split = rest.find(separator);
    if (split == std::string_view::npos || split == 0 || split + separator.size() >= rest.size()) return std::nullopt;
    return std::pair{std::string(rest.substr(0, split)), std::string(rest.substr(split + separator.size()))};
}

std::string pathFrom(const std::string& base, const std::string& path) {
    if (base.empty() || path.empty() || path.front() == '/' || path.front() == '~') return path;
    return (std::filesystem::path(base) / path).lexically_normal().string();
}

std::vector<std::string> urlsIn(std::string_view text) {
    std::vector<std::string> urls;
    for (std::size_t at = 0; at < text.size();) {
        const auto plain = text.find("http://", at);
        const auto secure = text.find("https://", at);
        const auto start = std::min(plain, secure);
        if (start == std::string_view::npos) break;
        auto end = start;
        while (end < text.size() && !endsAddress(text[end])) ++end;
        urls.emplace_back(text.substr(start, end - start));
        at = end;
    }
    return urls;
}

Actions just(Action action) { return std::vector<Action>{std::move(action)}; }

Actions nothing() { return std::vector<Action>{}; }

Actions missing(std::string_view tool, std::string_view key) {
    return fail("The " + std::string(tool) + " call has no \"" + std::string(key) + "\" to check.");
}

}  // namespace vardex::engine::ToolInput
