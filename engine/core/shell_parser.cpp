#include "core/shell_parser.hpp"

namespace vardex::engine {

ArgvTree parseShell(std::string_view line) { return ArgvTree{ArgvTree::Unparsed{std::string(line)}}; }

std::vector<ObfuscationFlag> obfuscationFlags(std::string_view) { return {}; }

ShellAction shellAction(std::string_view line, std::string_view cwd) {
    ShellAction action;
    action.raw = std::string(line);
    action.cwd = std::string(cwd);
    action.argvTree = parseShell(line);
    action.obfuscation = obfuscationFlags(line);
    return action;
}

std::vector<std::vector<std::string>> roughCommands(std::string_view line) {
    std::vector<std::vector<std::string>> commands(1);
    std::string word;
    auto endWord = [&] {
        if (!word.empty()) commands.back().push_back(std::move(word));
        word.clear();
    };
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\n') {
            endWord();
        } else if (c == '|' || c == ';' || c == '&' || c == '(' || c == ')' || c == '`') {
            endWord();
            if (!commands.back().empty()) commands.emplace_back();
        } else if (c != '"' && c != '\'') {
            word += c;
        }
    }
    endWord();
    if (commands.back().empty()) commands.pop_back();
    return commands;
}

}  // namespace vardex::engine
