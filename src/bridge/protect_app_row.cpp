#include "bridge/protect_app_row.hpp"

#include <algorithm>

#include "bridge/engine_json.hpp"
#include "bridge/vardex_cli.hpp"

namespace vardex {
namespace {

using nlohmann::json;
using List = std::vector<std::string>;

ProtectAppRow row(std::string id, std::string name, List bundles, List commands, List markers) {
    return ProtectAppRow{std::move(id), std::move(name), std::move(bundles), std::move(commands), std::move(markers),
                         true, std::nullopt};
}

bool contains(const List& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::string withForwardSlashes(std::string text) {
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

Result<const json*, DecodingError> required(const json& object, const char* key) {
    if (!object.is_object()) return fail(DecodingError::typeMismatch(key, "object"));
    const auto found = object.find(key);
    if (found == object.end()) return fail(DecodingError::keyNotFound(key));
    return &*found;
}

Result<std::string, DecodingError> requiredText(const json& object, const char* key) {
    auto value = required(object, key);
    if (!value) return fail(value.error());
    if (!(*value)->is_string()) return fail(DecodingError::typeMismatch(key, "string"));
    return (*value)->get<std::string>();
}

Result<List, DecodingError> requiredList(const json& object, const char* key) {
    auto value = required(object, key);
    if (!value) return fail(value.error());
    if (!(*value)->is_array()) return fail(DecodingError::typeMismatch(key, "array"));
    List list;
    for (const auto& element : **value) {
        if (!element.is_string()) return fail(DecodingError::typeMismatch(key, "array of strings"));
        list.push_back(element.get<std::string>());
    }
    return list;
}

}  // namespace

const std::vector<ProtectAppRow>& ProtectAppRow::catalog() {
    static const std::vector<ProtectAppRow> rows{
        row("github-copilot-vscode", "GitHub Copilot (VS Code)", {"com.microsoft.VSCode"}, {}, {}),
        row("github-copilot-cli", "GitHub Copilot CLI", {}, {"copilot"}, {"@github/copilot/npm-loader.js"}),
        row("chatgpt-codex-app", "ChatGPT / Codex app", {"com.openai.codex", "com.openai.chat"}, {}, {}),
        row("codex-cli", "Codex CLI", {}, {"codex"}, {"@openai/codex/bin/codex.js"}),
        row("claude-desktop", "Claude Desktop", {"com.anthropic.claudefordesktop"}, {}, {}),
        row("claude-code", "Claude Code", {}, {"claude"}, {}),
        row("gemini-cli", "Gemini CLI", {}, {"gemini"}, {"@google/gemini-cli/bundle/gemini.js"}),
        row("windsurf", "Windsurf", {"com.exafunction.windsurf"}, {}, {}),
        row("opencode", "OpenCode", {"ai.opencode.desktop"}, {"opencode"}, {}),
        row("cline", "Cline", {}, {"cline"}, {}),
        row("zed", "Zed", {"dev.zed.Zed"}, {"zed"}, {}),
        row("kiro-ide", "Kiro IDE", {"dev.kiro.desktop"}, {"kiro"}, {}),
        row("kiro-cli", "Kiro CLI", {"dev.kiro.cli"}, {"kiro-cli", "q"}, {}),
        row("aider", "Aider", {}, {"aider"}, {"/bin/aider"}),
        row("continue-cli", "Continue CLI", {}, {"cn"}, {"@continuedev/cli/dist/cn.js"}),
        row("grok-cli", "Grok Build CLI", {}, {"grok"}, {}),
        row("junie", "JetBrains Junie", {"com.jetbrains.intellij"}, {"junie"}, {"@jetbrains/junie-cli/bin/index.js"}),
        row("roo-code", "Roo Code", {}, {}, {}),
        row("muse", "Meta Muse Code", {}, {"muse"}, {}),
        row("grok-bot", "Grok Bot", {"com.anysphere.sand"}, {}, {}),
    };
    return rows;
}

std::optional<ProtectAppRow> ProtectAppRow::match(std::string_view path, const std::optional<std::string>& bundleId,
                                                  const std::vector<std::string>& argv) {
    const auto slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    List arguments;
    arguments.reserve(argv.size());
    for (const auto& argument : argv) arguments.push_back(withForwardSlashes(argument));
    for (const auto& candidate : catalog()) {
        if (bundleId && contains(candidate.bundleIds, *bundleId)) return candidate;
        if (contains(candidate.cliNames, name)) return candidate;
        for (const auto& marker : candidate.scriptMarkers) {
            const bool found = std::any_of(arguments.begin(), arguments.end(), [&](const std::string& argument) {
                return argument.find(marker) != std::string::npos;
            });
            if (found) return candidate;
        }
    }
    return std::nullopt;
}

namespace protect_app_json {

json toJson(const ProtectAppRow& row) {
    json j{{"id", row.id},
           {"display_name", row.displayName},
           {"bundle_ids", row.bundleIds},
           {"cli_names", row.cliNames},
           {"script_markers", row.scriptMarkers},
           {"protect", row.protect}};
    if (row.teamId) j["team_id"] = *row.teamId;
    return j;
}

Result<ProtectAppRow, DecodingError> fromJson(const json& j) {
    ProtectAppRow row;
    auto id = requiredText(j, "id");
    if (!id) return fail(id.error());
    row.id = std::move(*id);
    auto name = requiredText(j, "display_name");
    if (!name) return fail(name.error());
    row.displayName = std::move(*name);
    const std::pair<const char*, List*> lists[] = {
        {"bundle_ids", &row.bundleIds}, {"cli_names", &row.cliNames}, {"script_markers", &row.scriptMarkers}};
    for (const auto& [key, target] : lists) {
        auto list = requiredList(j, key);
        if (!list) return fail(list.error());
        *target = std::move(*list);
    }
    auto protect = required(j, "protect");
    if (!protect) return fail(protect.error());
    if (!(*protect)->is_boolean()) return fail(DecodingError::typeMismatch("protect", "boolean"));
    row.protect = (*protect)->get<bool>();
    // An optional member may be absent or null; any other type is still a fault.
    if (const auto team = j.find("team_id"); team != j.end() && !team->is_null()) {
        if (!team->is_string()) return fail(DecodingError::typeMismatch("team_id", "string"));
        row.teamId = team->get<std::string>();
    }
    return row;
}

Result<std::vector<ProtectAppRow>, DecodingError> listFromJson(const json& j) {
    if (!j.is_array()) return fail(DecodingError::typeMismatch("", "array"));
    std::vector<ProtectAppRow> rows;
    for (const auto& element : j) {
        auto decoded = fromJson(element);
        if (!decoded) return fail(decoded.error());
        rows.push_back(std::move(*decoded));
    }
    return rows;
}

}  // namespace protect_app_json

std::vector<ProtectAppRow> ProtectApps::load(std::chrono::milliseconds timeLimit) {
    const auto outcome = VardexCli::run({"protect", "list", "--json"}, std::nullopt, timeLimit);
    if (!outcome) return ProtectAppRow::catalog();
    // The combined output, so an engine that also warns on standard error is not understood
    // and the catalogue is shown instead.
    const auto document = engine_json::parse(outcome->combined());
    if (!document) return ProtectAppRow::catalog();
    auto rows = protect_app_json::listFromJson(*document);
    if (!rows || rows->empty()) return ProtectAppRow::catalog();
    return std::move(*rows);
}

}  // namespace vardex
