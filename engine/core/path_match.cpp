#include "core/path_match.hpp"

#include <vector>

namespace vardex::engine {
namespace {

// Strips a leading home reference, returning what follows it ("" or "/...").
bool stripHome(std::string_view& path) {
    for (std::string_view prefix : {"${HOME}", "$HOME", "~"}) {
        if (path.substr(0, prefix.size()) != prefix) continue;
        const auto rest = path.substr(prefix.size());
        if (rest.empty() || rest.front() == '/') {
            path = rest;
            return true;
        }
    }
    return false;
}

}  // namespace

std::string absolutePath(std::string_view path, std::string_view home, std::string_view cwd) {
    std::string joined;
    if (stripHome(path)) {
        joined = std::string(home) + std::string(path);
    } else if (!path.empty() && path.front() == '/') {
        joined = std::string(path);
    } else if (!cwd.empty()) {
        joined = std::string(cwd) + "/" + std::string(path);
    } else {
        joined = std::string(path);
    }
    const bool absolute = !joined.empty() && joined.front() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
            continue;
        }
        if (part == ".." && absolute) continue;
        parts.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '/';
        out += parts[i];
    }
    if (out.empty()) out = ".";
    return out;
}

namespace {

// Matches from the given positions. A "**" in path mode tries every split point recursively
// (patterns hold few of them); every other star uses the single back-track point of the classic
// matcher, which is exact when all stars behave alike.
bool matchFrom(std::string_view pattern, std::string_view text, bool pathMode) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    while (t < text.size() || p < pattern.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            if (pathMode && p + 1 < pattern.size() && pattern[p + 1] == '*') {
                const auto rest = pattern.substr(p + 2);
                for (std::size_t k = t; k <= text.size(); ++k) {
                    if (matchFrom(rest, text.substr(k), pathMode)) return true;
                }
                return false;
            }
            starP = ++p;
            starT = t;
            continue;
        }
        if (t < text.size() && p < pattern.size() &&
            (pattern[p] == text[t] || (pattern[p] == '?' && !(pathMode && text[t] == '/')))) {
            ++p;
            ++t;
            continue;
        }
        if (starP != std::string_view::npos && starT < text.size() && !(pathMode && text[starT] == '/')) {
            p = starP;
            t = ++starT;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

bool globMatch(std::string_view pattern, std::string_view text, bool pathMode) {
    return matchFrom(pattern, text, pathMode);
}

bool isUnder(std::string_view path, std::string_view folder) {
    if (folder == "/") return !path.empty() && path.front() == '/';
    if (path.substr(0, folder.size()) != folder) return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

std::string_view baseName(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace vardex::engine
