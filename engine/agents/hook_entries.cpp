#include "agents/hook_entries.hpp"

#include "agents/config_json.hpp"
#include "agents/json_spans.hpp"
#include "core/shell_quote.hpp"
#include "hooks/agent_hooks.hpp"
#include "hooks/hook_core.hpp"
#include "protocol/wire_enum.hpp"
#include "text/unicode_text.hpp"

namespace vardex::engine {
namespace {

// The agent must never be the one to end the hook: its time-out leaves the engine's own
// deadline, and the deny printed then, room to arrive.
constexpr int hookTimeoutSeconds = 300;
static_assert(hookTimeoutSeconds >= HookCore::longestWaitSeconds + 20);

constexpr std::string_view capturedStart = "out=$(";
constexpr std::string_view passedOn = ") && printf '%s\\n' \"$out\" || { printf '%s\\n' ";
constexpr std::string_view blockingEnd = "; exit 2; }";

bool isSpace(char c) { return c == ' ' || c == '\t'; }

struct SplitWord {
    std::string word;
    std::string_view rest;
};

// The first shell word of `command`, its quoted and bare parts joined as the shell would.
std::optional<SplitWord> firstWord(std::string_view command) {
    std::size_t i = 0;
    while (i < command.size() && isSpace(command[i])) ++i;
    std::string word;
    bool any = false;
    while (i < command.size() && !isSpace(command[i])) {
        any = true;
        const char c = command[i++];
        if (c == '\'') {
            const auto close = command.find('\'', i);
            if (close == std::string_view::npos) return std::nullopt;
            word.append(command.substr(i, close - i));
            i = close + 1;
        } else if (c == '"') {
            for (;;) {
                if (i >= command.size()) return std::nullopt;
                const char d = command[i++];
                if (d == '"') break;
                if (d == '\\' && i < command.size() && std::string_view("\"\\$`").find(command[i]) != std::string_view::npos) {
                    word += command[i++];
                } else {
                    word += d;
                }
            }
        } else if (c == '\\') {
            if (i >= command.size()) return std::nullopt;
            word += command[i++];
        } else {
            word += c;
        }
    }
    if (!any) return std::nullopt;
    return SplitWord{std::move(word), command.substr(i)};
}

bool isEngine(const std::string& program) { return std::filesystem::path(program).filename() == "vardex"; }

std::string invocation(HookFamily family) { return " hook " + std::string(wireText(family)); }

// The installed form: the program's answer passed on, a denial printed when it fails.
std::optional<InstalledHook> capturedForm(std::string_view command, HookFamily family) {
    if (!command.starts_with(capturedStart) || !command.ends_with(blockingEnd)) return std::nullopt;
    auto program = firstWord(command.substr(capturedStart.size()));
    if (!program || !isEngine(program->word)) return std::nullopt;
    if (!program->rest.starts_with(invocation(family) + std::string(passedOn))) return std::nullopt;
    const bool current = command == hookCommand(program->word, family);
    return InstalledHook{std::string(command), std::move(program->word), current};
}

// The forms older engines installed: the program alone, or followed by "|| exit 2".
std::optional<InstalledHook> olderForm(std::string_view command, HookFamily family) {
    auto program = firstWord(command);
    if (!program || !isEngine(program->word)) return std::nullopt;
    auto verb = firstWord(program->rest);
    if (!verb || verb->word != "hook") return std::nullopt;
    auto kind = firstWord(verb->rest);
    if (!kind || kind->word != wireText(family)) return std::nullopt;
    std::vector<std::string> tail;
    for (auto word = firstWord(kind->rest); word && tail.size() < 4; word = firstWord(word->rest)) {
        tail.push_back(std::move(word->word));
    }
    if (!tail.empty() && tail != std::vector<std::string>{"||", "exit", "2"}) return std::nullopt;
    return InstalledHook{std::string(command), std::move(program->word), false};
}

std::optional<InstalledHook> engineHookIn(std::string_view text, const JsonSpan& entry, HookFamily family) {
    const auto* command = entry.type == JsonSpan::Type::object ? entry.find("command") : nullptr;
    const auto value = command != nullptr ? stringAt(text, *command) : std::nullopt;
    return value ? installedHook(*value, family) : std::nullopt;
}

// Where one engine command lies: the event's list, the item in it, and for grouped families
// the group's commands and the command's place among them.
struct EnginePlace {
    std::string_view event;
    const JsonSpan* list = nullptr;
    std::size_t item = 0;
    const JsonSpan* commands = nullptr;
    std::size_t entry = 0;
    InstalledHook hook;
};

std::vector<EnginePlace> enginePlaces(std::string_view text, const JsonSpan& root, HookFamily family) {
    std::vector<EnginePlace> places;
    const auto* hooks = root.type == JsonSpan::Type::object ? root.find("hooks") : nullptr;
    if (hooks == nullptr || hooks->type != JsonSpan::Type::object) return places;
    const bool grouped = hookFileFormat(family).grouped;
    for (const auto event : hookEvents(family)) {
        const auto* list = hooks->find(event);
        if (list == nullptr || list->type != JsonSpan::Type::array) continue;
        for (std::size_t item = 0; item < list->elements.size(); ++item) {
            const auto& element = list->elements[item];
            if (!grouped) {
                if (auto hook = engineHookIn(text, element, family)) places.push_back({event, list, item, nullptr, 0, *hook});
                continue;
            }
            const auto* commands = element.type == JsonSpan::Type::object ? element.find("hooks") : nullptr;
            if (commands == nullptr || commands->type != JsonSpan::Type::array) continue;
            for (std::size_t entry = 0; entry < commands->elements.size(); ++entry) {
                if (auto hook = engineHookIn(text, commands->elements[entry], family)) {
                    places.push_back({event, list, item, commands, entry, *hook});
                }
            }
        }
    }
    return places;
}

std::size_t indexOf(const JsonSpan& object, std::string_view key) {
    std::size_t index = 0;
    while (index < object.members.size() && object.members[index].key != key) ++index;
    return index;
}

// The text without the first engine command of the family. A group the engine's command alone
// filled goes with it (a user's empty group stays); so does a list left empty, and "hooks" when
// that list was all it held, unless `keepLists` (the command is about to come back).
std::optional<std::string> withoutFirstEntry(std::string_view text, HookFamily family, bool keepLists) {
    const auto root = spansOf(text);
    if (!root) return std::nullopt;
    const auto places = enginePlaces(text, *root, family);
    if (places.empty()) return std::nullopt;
    const auto& place = places.front();
    if (place.commands != nullptr && place.commands->size() > 1) return withoutItem(text, *place.commands, place.entry);
    if (place.list->size() > 1 || keepLists) return withoutItem(text, *place.list, place.item);
    const auto& hooks = *root->find("hooks");
    if (hooks.size() > 1) return withoutItem(text, hooks, indexOf(hooks, place.event));
    return withoutItem(text, *root, indexOf(*root, "hooks"));
}

std::string withoutEveryEntry(std::string text, HookFamily family, bool keepLists) {
    while (auto fewer = withoutFirstEntry(text, family, keepLists)) text = std::move(*fewer);
    return text;
}

OrderedJson newEntry(HookFamily family, const std::string& command) {
    const auto& format = hookFileFormat(family);
    OrderedJson item = OrderedJson::object();
    if (format.grouped) item["type"] = "command";
    item["command"] = command;
    if (format.timeout) item["timeout"] = *format.timeout;
    if (!format.grouped) return item;
    OrderedJson group = OrderedJson::object();
    group["matcher"] = format.matcher;
    group["hooks"] = OrderedJson::array({item});
    return group;
}

Result<void, ConfigProblem> checkShape(const std::optional<std::string>& text, HookFamily family) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return fail(parsed.error());
    const auto& root = *parsed;
    if (!root.contains("hooks")) return {};
    if (!root["hooks"].is_object()) return fail(ConfigProblem{"has a \"hooks\" entry that is not an object"});
    for (const auto event : hookEvents(family)) {
        const auto list = root["hooks"].find(std::string(event));
        if (list != root["hooks"].end() && !list->is_array()) {
            return fail(ConfigProblem{"has a \"hooks." + std::string(event) + "\" entry that is not a list"});
        }
    }
    return {};
}

// Where a second copy of a key would make the agent read another entry than the engine wrote.
std::optional<ConfigProblem> repeatedKey(const JsonSpan& root, HookFamily family) {
    if (root.count("hooks") > 1) return ConfigProblem{"has more than one \"hooks\" entry"};
    const auto* hooks = root.find("hooks");
    for (const auto event : hookEvents(family)) {
        if (hooks != nullptr && hooks->count(event) > 1) {
            return ConfigProblem{"has more than one \"hooks." + std::string(event) + "\" entry"};
        }
    }
    return std::nullopt;
}

}  // namespace

const HookFileFormat& hookFileFormat(HookFamily family) {
    static const HookFileFormat cursor{{"beforeShellExecution", "beforeReadFile", "beforeMCPExecution"}, false, {}, {}};
    static const HookFileFormat preToolUse{{"PreToolUse"}, true, "*", hookTimeoutSeconds};
    // Gemini CLI reads the matcher as a regular expression and the time-out in milliseconds.
    static const HookFileFormat gemini{{"BeforeTool"}, true, ".*", hookTimeoutSeconds * 1000};
    switch (family) {
        case HookFamily::cursor: return cursor;
        case HookFamily::gemini: return gemini;
        case HookFamily::claude:
        case HookFamily::codex:
        case HookFamily::mcp: break;
    }
    return preToolUse;
}

const std::vector<std::string_view>& hookEvents(HookFamily family) { return hookFileFormat(family).events; }

const HookAdapter& hookAdapterOf(HookFamily family) {
    const auto* adapter = agentHook(wireText(family));
    // Every family with a hook file has its adapter; `mcp`, which has neither, is never asked.
    return adapter != nullptr ? *adapter : claudeHook;
}

std::string hookCommand(const std::filesystem::path& program, HookFamily family) {
    return std::string(capturedStart) + shellQuoted(program.string()) + invocation(family) + std::string(passedOn) +
           shellQuoted(HookCore::engineFailedLine(hookAdapterOf(family))) + std::string(blockingEnd);
}

std::optional<InstalledHook> installedHook(std::string_view command, HookFamily family) {
    if (auto captured = capturedForm(command, family)) return captured;
    return olderForm(command, family);
}

Result<std::string, ConfigProblem> withHook(const std::optional<std::string>& text, HookFamily family,
                                            const std::string& command) {
    if (auto shape = checkShape(text, family); !shape) return fail(shape.error());
    // A blank file is an empty object, written out in full.
    const bool blank = !text || unicode::trimmed(*text).empty();
    std::string edited = withoutEveryEntry(blank ? std::string("{}\n") : *text, family, true);
    auto root = spansOf(edited);
    if (!root) return fail(ConfigProblem{"is not valid JSON"});
    if (auto repeated = repeatedKey(*root, family)) return fail(*repeated);
    // Cursor reads only files that say which version of its hook format they follow.
    if (family == HookFamily::cursor && root->count("version") == 0) {
        edited = withItem(edited, *root, "version", 1);
        root = spansOf(edited);
    }
    const auto entry = newEntry(family, command);
    if (root->find("hooks") == nullptr) {
        OrderedJson hooks = OrderedJson::object();
        for (const auto event : hookEvents(family)) hooks[std::string(event)] = OrderedJson::array({entry});
        return withItem(edited, *root, "hooks", hooks);
    }
    for (const auto event : hookEvents(family)) {
        root = spansOf(edited);
        const auto& hooks = *root->find("hooks");
        const auto* list = hooks.find(event);
        edited = list == nullptr ? withItem(edited, hooks, std::string(event), OrderedJson::array({entry}))
                                 : withItem(edited, *list, std::nullopt, entry);
    }
    return edited;
}

std::optional<std::string> withoutHook(const std::string& text, HookFamily family) {
    auto cleaned = withoutEveryEntry(text, family, false);
    if (cleaned == text) return std::nullopt;
    return cleaned;
}

std::vector<InstalledHook> installedHooks(const std::string& text, HookFamily family) {
    std::vector<InstalledHook> found;
    const auto root = spansOf(text);
    if (!root) return found;
    std::string_view lastEvent;
    for (auto& place : enginePlaces(text, *root, family)) {
        if (!found.empty() && place.event == lastEvent) continue;
        lastEvent = place.event;
        found.push_back(std::move(place.hook));
    }
    return found;
}

}  // namespace vardex::engine
