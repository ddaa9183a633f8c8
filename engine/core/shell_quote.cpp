#include "core/shell_quote.hpp"

#include <algorithm>

namespace vardex::engine {
namespace {

bool needsNoQuotes(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("_./+-,:@%").find(c) != std::string_view::npos;
}

}  // namespace

std::string shellQuoted(std::string_view word) {
    if (!word.empty() && std::all_of(word.begin(), word.end(), needsNoQuotes)) return std::string(word);
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

}  // namespace vardex::engine
