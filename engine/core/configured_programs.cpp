#include "core/configured_programs.hpp"

#include <nlohmann/json.hpp>

#include "core/command_match.hpp"
#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

std::vector<std::string> recipeLines(std::string_view content, bool anyIndent) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        const auto end = content.find('\n');
        auto line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view{} : content.substr(end + 1);
        if (line.empty() || !(line.front() == '\t' || (anyIndent && line.front() == ' '))) continue;
        line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t@-")));
        if (!line.empty()) lines.emplace_back(line);
    }
    return lines;
}

}  // namespace

std::vector<std::string> filesRunBy(const CommandFacts& command) {
    const auto& p = command.program;
    const auto operands = command.operands();
    if (isOneOf(p, {"npm", "yarn", "pnpm", "bun"})) {
        // Installing runs the lifecycle scripts as surely as running one by name.
        if (operands.empty() || isOneOf(operands.front(), {"install", "i", "ci", "run", "run-script", "test", "t",
                                                           "start", "build", "add", "rebuild", "restart", "stop",
                                                           "pack", "publish", "exec", "x"})) {
            return {"package.json"};
        }
        return {};
    }
    if (p == "make" || p == "gmake") {
        const auto named = command.optionValues("file", 'f');
        if (!named.empty()) return {std::string(named.front())};
        return {"GNUmakefile", "makefile", "Makefile"};
    }
    if (p == "just") return {"justfile", "Justfile", ".justfile"};
    if (p == "direnv" && !operands.empty() && isOneOf(operands.front(), {"allow", "permit", "grant", "reload", "exec"})) {
        return {".envrc"};
    }
    if (p == "git" && !operands.empty() && isOneOf(operands.front(), {"commit", "merge", "push", "checkout", "switch",
                                                                     "rebase", "pull", "am", "cherry-pick"})) {
        return {".git/hooks/"};
    }
    return {};
}

std::vector<std::string> linesOfRunFile(std::string_view name, std::string_view content) {
    if (name == "package.json") {
        const auto json = nlohmann::json::parse(content, nullptr, false);
        std::vector<std::string> lines;
        if (!json.is_object()) return {std::string(content)};
        const auto scripts = json.find("scripts");
        if (scripts == json.end() || !scripts->is_object()) return lines;
        for (const auto& [script, line] : scripts->items()) {
            if (line.is_string()) lines.push_back(line.get<std::string>());
        }
        return lines;
    }
    const auto lower = asciiLower(name);
    if (lower.find("makefile") != std::string::npos || lower.ends_with(".mk")) return recipeLines(content, false);
    if (lower.find("justfile") != std::string::npos) return recipeLines(content, true);
    return {std::string(content)};
}

}  // namespace vardex::engine
