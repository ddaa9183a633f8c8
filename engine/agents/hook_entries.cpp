#include "agents/hook_entries.hpp"

#include <algorithm>
#include <functional>

#include "agents/config_json.hpp"
#include "daemon/claude_hook.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex::engine {

// The agent must never be the one to end the hook: its time-out leaves the engine's own
// deadline, and the deny printed then, room to arrive.
static_assert(hookTimeoutSeconds >= ClaudeHook::longestWaitSeconds + 20);

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t'; }

bool needsNoQuotes(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_./+-,:@%").find(c) != std::string_view::npos;
}

std::string shellQuoted(const std::string& word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), needsNoQuotes)) return word;
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

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

bool isCommandOfOurs(const OrderedJson& entry, HookFamily family) {
    if (!entry.is_object()) return false;
    const auto command = entry.find("command");
    return command != entry.end() && command->is_string() && hookProgram(command->get<std::string>(), family);
}

bool grouped(HookFamily family) { return family != HookFamily::cursor; }

// Calls `visit` with each list of commands of the event: the groups' lists, or the event's own.
void forEachCommandList(OrderedJson& eventList, HookFamily family, const std::function<void(OrderedJson&)>& visit) {
    if (!grouped(family)) {
        visit(eventList);
        return;
    }
    for (auto& group : eventList) {
        if (!group.is_object()) continue;
        const auto commands = group.find("hooks");
        if (commands != group.end() && commands->is_array()) visit(*commands);
    }
}

// Removes the engine's commands from one event's list; true when any went.
bool strip(OrderedJson& eventList, HookFamily family) {
    bool removed = false;
    const auto ours = [family](const OrderedJson& entry) { return isCommandOfOurs(entry, family); };
    if (!grouped(family)) {
        const auto before = eventList.size();
        eventList.erase(std::remove_if(eventList.begin(), eventList.end(), ours), eventList.end());
        return eventList.size() != before;
    }
    for (auto group = eventList.begin(); group != eventList.end();) {
        const auto commands = group->is_object() ? group->find("hooks") : group->end();
        if (commands == group->end() || !commands->is_array()) {
            ++group;
            continue;
        }
        const auto before = commands->size();
        commands->erase(std::remove_if(commands->begin(), commands->end(), ours), commands->end());
        const bool strippedHere = commands->size() != before;
        removed = removed || strippedHere;
        // A group the engine's command alone filled goes with it; a user's empty group stays.
        if (strippedHere && commands->empty()) {
            group = eventList.erase(group);
        } else {
            ++group;
        }
    }
    return removed;
}

// Removes every engine command of the family; true when any went.
bool stripAll(OrderedJson& root, HookFamily family) {
    const auto hooks = root.find("hooks");
    if (hooks == root.end() || !hooks->is_object()) return false;
    bool removed = false;
    for (const auto event : hookEvents(family)) {
        const auto list = hooks->find(std::string(event));
        if (list == hooks->end() || !list->is_array()) continue;
        if (strip(*list, family)) {
            removed = true;
            if (list->empty()) hooks->erase(list);
        }
    }
    if (removed && hooks->empty()) root.erase(hooks);
    return removed;
}

OrderedJson newEntry(HookFamily family, const std::string& command) {
    OrderedJson entry = OrderedJson::object();
    if (grouped(family)) {
        OrderedJson item = OrderedJson::object();
        item["type"] = "command";
        item["command"] = command;
        item["timeout"] = hookTimeoutSeconds;
        entry["matcher"] = claudeMatcherForEveryTool;
        entry["hooks"] = OrderedJson::array({item});
    } else {
        entry["command"] = command;
    }
    return entry;
}

}  // namespace

std::vector<std::string_view> hookEvents(HookFamily family) {
    if (family == HookFamily::cursor) return {"beforeShellExecution", "beforeReadFile", "beforeMCPExecution"};
    return {"PreToolUse"};
}

std::string hookCommand(const std::filesystem::path& program, HookFamily family) {
    return shellQuoted(program.string()) + " hook " + std::string(wireText(family)) + " " +
           std::string(failClosedSuffix);
}

std::optional<std::string> hookProgram(std::string_view command, HookFamily family) {
    auto program = firstWord(command);
    if (!program || std::filesystem::path(program->word).filename() != "vardex") return std::nullopt;
    auto verb = firstWord(program->rest);
    if (!verb || verb->word != "hook") return std::nullopt;
    auto kind = firstWord(verb->rest);
    if (!kind || kind->word != wireText(family)) return std::nullopt;
    // Either nothing follows (an entry written before hooks failed closed) or exactly the
    // fail-closed tail.
    std::vector<std::string> tail;
    for (auto word = firstWord(kind->rest); word && tail.size() < 4; word = firstWord(word->rest)) {
        tail.push_back(std::move(word->word));
    }
    if (!tail.empty() && tail != std::vector<std::string>{"||", "exit", "2"}) return std::nullopt;
    return std::move(program->word);
}

Result<std::string, ConfigProblem> withHook(const std::optional<std::string>& text, HookFamily family,
                                            const std::string& command) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return fail(parsed.error());
    OrderedJson root = std::move(*parsed);
    if (root.contains("hooks") && !root["hooks"].is_object()) {
        return fail(ConfigProblem{"has a \"hooks\" entry that is not an object"});
    }
    for (const auto event : hookEvents(family)) {
        if (root.contains("hooks") && root["hooks"].contains(std::string(event)) && !root["hooks"][std::string(event)].is_array()) {
            return fail(ConfigProblem{"has a \"hooks." + std::string(event) + "\" entry that is not a list"});
        }
    }
    stripAll(root, family);
    // Cursor reads only files that say which version of its hook format they follow.
    if (family == HookFamily::cursor && !root.contains("version")) root["version"] = 1;
    auto& hooks = root["hooks"];
    if (hooks.is_null()) hooks = OrderedJson::object();
    for (const auto event : hookEvents(family)) {
        auto& list = hooks[std::string(event)];
        if (list.is_null()) list = OrderedJson::array();
        list.push_back(newEntry(family, command));
    }
    return configText(root);
}

std::optional<std::string> withoutHook(const std::string& text, HookFamily family) {
    auto parsed = parseConfigObject(text);
    if (!parsed) return std::nullopt;
    if (!stripAll(*parsed, family)) return std::nullopt;
    return configText(*parsed);
}

std::vector<std::string> hookPrograms(const std::string& text, HookFamily family) {
    std::vector<std::string> programs;
    auto parsed = parseConfigObject(text);
    if (!parsed) return programs;
    auto& root = *parsed;
    if (!root.contains("hooks") || !root["hooks"].is_object()) return programs;
    auto& hooks = root["hooks"];
    for (const auto event : hookEvents(family)) {
        const auto list = hooks.find(std::string(event));
        if (list == hooks.end() || !list->is_array()) continue;
        std::optional<std::string> found;
        forEachCommandList(*list, family, [&](OrderedJson& commands) {
            for (const auto& entry : commands) {
                if (!found && isCommandOfOurs(entry, family)) found = hookProgram(entry["command"].get<std::string>(), family);
            }
        });
        if (found) programs.push_back(std::move(*found));
    }
    return programs;
}

}  // namespace vardex::engine
