#include "core/path_match.hpp"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace vardex::engine {
namespace {

// Strips a leading home reference, returning what follows it ("" or "/...").
bool stripHome(std::string_view& path) {
    // "${HOME:?}" and "${HOME:-x}" are the home folder whenever HOME is set.
    if (path.substr(0, 7) == "${HOME:") {
        const auto close = path.find('}');
        if (close != std::string_view::npos) {
            const auto rest = path.substr(close + 1);
            if (rest.empty() || rest.front() == '/') {
                path = rest;
                return true;
            }
        }
    }
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

// "~name/rest": the home folder of that user, and what follows it.
bool stripUserHome(std::string_view& path, std::string_view home, std::string& userHome) {
    if (path.size() < 2 || path.front() != '~') return false;
    const auto slash = path.find('/');
    const auto name = path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1);
    if (name.empty() || name.find_first_of("$`*?[") != std::string_view::npos) return false;
    userHome = homeOfUser(name, home);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash);
    return true;
}

}  // namespace

std::string homeOfUser(std::string_view name, std::string_view home) {
    // The user the rules protect may be named by the last part of their home folder or by the
    // account the engine runs as; both mean `home`.
    if (name == baseName(home)) return std::string(home);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && name == found->pw_name) {
        return std::string(home);
    }
    const std::string wanted(name);
    if (getpwnam_r(wanted.c_str(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return wanted == "root" ? "/root" : "/home/" + wanted;
}

std::string absolutePath(std::string_view path, std::string_view home, std::string_view cwd) {
    std::string joined;
    std::string userHome;
    if (stripHome(path)) {
        joined = std::string(home) + std::string(path);
    } else if (stripUserHome(path, home, userHome)) {
        joined = userHome + std::string(path);
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

// Matches one character against the bracket expression starting at `pattern[p]` ("[abc]",
// "[a-z]", "[!x]"), returning the position after it; npos when the bracket is not closed, in
// which case "[" is an ordinary character.
std::size_t bracketEnd(std::string_view pattern, std::size_t p) {
    auto at = p + 1;
    if (at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^')) ++at;
    if (at < pattern.size() && pattern[at] == ']') ++at;
    const auto close = pattern.find(']', at);
    return close == std::string_view::npos ? close : close + 1;
}

bool bracketMatches(std::string_view set, char c) {
    set = set.substr(1, set.size() - 2);
    const bool negated = !set.empty() && (set.front() == '!' || set.front() == '^');
    if (negated) set.remove_prefix(1);
    bool found = false;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i + 2 < set.size() && set[i + 1] == '-') {
            found = found || (set[i] <= c && c <= set[i + 2]);
            i += 2;
        } else {
            found = found || set[i] == c;
        }
    }
    return found != negated;
}

// Matches from the given positions. A "**" in path mode tries every split point recursively
// (patterns hold few of them); every other star uses the single back-track point of the classic
// matcher, which is exact when all stars behave alike. `budget` bounds the work a pattern with
// many "**" can cause on a long text, and `depth` the recursion: a match through more than
// `maxDoubleStars` of them would need as many named folders in the text, which no path checked
// here has.
constexpr std::size_t maxDoubleStars = 64;

bool matchFrom(std::string_view pattern, std::string_view text, bool pathMode, std::size_t& budget, std::size_t depth = 0) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starT = 0;
    // Lets the last single star take one more character, when it may (never a "/" in path mode).
    const auto backtrack = [&] {
        if (starP == std::string_view::npos || starT >= text.size() || (pathMode && text[starT] == '/')) return false;
        p = starP;
        t = ++starT;
        return true;
    };
    while (t < text.size() || p < pattern.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            if (pathMode && p + 1 < pattern.size() && pattern[p + 1] == '*') {
                const auto rest = pattern.substr(p + 2);
                if (depth >= maxDoubleStars) return false;
                for (std::size_t k = t; k <= text.size(); ++k) {
                    if (budget == 0 || --budget == 0) return false;
                    if (matchFrom(rest, text.substr(k), pathMode, budget, depth + 1)) return true;
                }
                return false;
            }
            starP = ++p;
            starT = t;
            continue;
        }
        if (t < text.size() && p < pattern.size() && pattern[p] == '[' && !(pathMode && text[t] == '/')) {
            const auto end = bracketEnd(pattern, p);
            if (end != std::string_view::npos) {
                if (bracketMatches(pattern.substr(p, end - p), text[t])) {
                    p = end;
                    ++t;
                    continue;
                }
                if (backtrack()) continue;
                return false;
            }
        }
        if (t < text.size() && p < pattern.size() &&
            (pattern[p] == text[t] || (pattern[p] == '?' && !(pathMode && text[t] == '/')))) {
            ++p;
            ++t;
            continue;
        }
        if (backtrack()) continue;
        return false;
    }
    return true;
}

// In path mode a run of stars is one "**", and "**/**" is "**": folding them keeps the matcher's
// recursion (one level per "**") as shallow as the pattern's real structure, whatever an agent
// types.
std::string foldDoubleStars(std::string_view pattern) {
    std::string folded;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '*' && i + 1 < pattern.size() && pattern[i + 1] == '*') {
            while (i + 1 < pattern.size() && pattern[i + 1] == '*') ++i;
            if (folded.ends_with("**/")) {
                folded.pop_back();
                continue;
            }
            folded += "**";
            continue;
        }
        folded += pattern[i];
    }
    return folded;
}

}  // namespace

bool globMatch(std::string_view pattern, std::string_view text, bool pathMode) {
    std::size_t budget = 1u << 20;
    if (!pathMode) return matchFrom(pattern, text, pathMode, budget);
    const std::string folded = foldDoubleStars(pattern);
    return matchFrom(folded, text, pathMode, budget);
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
