#include "core/shell_functions.hpp"

#include <cctype>

namespace vardex::engine {
namespace {

// Functions beyond this many are not remembered; bodies are cut at this size.
constexpr std::size_t maxFunctions = 32;
constexpr std::size_t maxBody = 4096;

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-'; }

// The end of a "{ ... }" body opened at `open`, skipping quoted text.
std::size_t bodyEnd(std::string_view line, std::size_t open) {
    int depth = 0;
    for (auto i = open; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\'' || c == '"') {
            const auto close = line.find(c, i + 1);
            if (close == std::string_view::npos) return std::string_view::npos;
            i = close;
        } else if (c == '\\') {
            ++i;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::map<std::string, std::string> shellFunctions(std::string_view line) {
    std::map<std::string, std::string> out;
    for (auto at = line.find('('); at != std::string_view::npos && out.size() < maxFunctions; at = line.find('(', at + 1)) {
        // "name ( )" then "{"
        auto close = at + 1;
        while (close < line.size() && (line[close] == ' ' || line[close] == '\t')) ++close;
        if (close >= line.size() || line[close] != ')') continue;
        auto nameEnd = at;
        while (nameEnd > 0 && (line[nameEnd - 1] == ' ' || line[nameEnd - 1] == '\t')) --nameEnd;
        auto nameStart = nameEnd;
        while (nameStart > 0 && isNameChar(line[nameStart - 1])) --nameStart;
        if (nameStart == nameEnd || std::isdigit(static_cast<unsigned char>(line[nameStart])) != 0) continue;
        const auto open = line.find_first_not_of(" \t\n", close + 1);
        if (open == std::string_view::npos || line[open] != '{') continue;
        const auto end = bodyEnd(line, open);
        if (end == std::string_view::npos) continue;
        out[std::string(line.substr(nameStart, nameEnd - nameStart))] =
            std::string(line.substr(open + 1, std::min(end - open - 1, maxBody)));
    }
    // "function name { ... }" and "function name() { ... }" (the latter is found above).
    for (auto at = line.find("function "); at != std::string_view::npos && out.size() < maxFunctions;
         at = line.find("function ", at + 1)) {
        auto nameStart = line.find_first_not_of(" \t", at + 9);
        if (nameStart == std::string_view::npos) break;
        auto nameEnd = nameStart;
        while (nameEnd < line.size() && isNameChar(line[nameEnd])) ++nameEnd;
        const auto open = line.find_first_not_of(" \t\n", nameEnd);
        if (nameEnd == nameStart || open == std::string_view::npos || line[open] != '{') continue;
        const auto end = bodyEnd(line, open);
        if (end == std::string_view::npos) continue;
        out[std::string(line.substr(nameStart, nameEnd - nameStart))] =
            std::string(line.substr(open + 1, std::min(end - open - 1, maxBody)));
    }
    return out;
}

}  // namespace vardex::engine
