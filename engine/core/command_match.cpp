#include "core/command_match.hpp"

#include <algorithm>

namespace vardex::engine {

bool isOneOf(std::string_view value, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), value) != names.end();
}

bool hasAnyArg(const CommandFacts& command, std::initializer_list<std::string_view> words) {
    return std::any_of(command.args.begin(), command.args.end(), [&](std::string_view arg) {
        return std::any_of(words.begin(), words.end(), [&](std::string_view word) {
            return arg == word || (word.substr(0, 2) == "--" && arg.size() > word.size() &&
                                   arg.substr(0, word.size()) == word && arg[word.size()] == '=');
        });
    });
}

bool commandStartsWith(const CommandFacts& command, std::string_view words) {
    const auto operands = command.operands();
    std::size_t next = 0;
    while (!words.empty()) {
        const auto blank = words.find(' ');
        const auto word = words.substr(0, blank);
        words = blank == std::string_view::npos ? std::string_view{} : words.substr(blank + 1);
        if (word.empty()) continue;
        if (word.front() == '-') {
            if (!hasAnyArg(command, {word})) return false;
        } else {
            // Global options and their values may come before or between the words.
            while (next < operands.size() && operands[next] != word) ++next;
            if (next++ >= operands.size()) return false;
        }
    }
    return true;
}

}  // namespace vardex::engine
