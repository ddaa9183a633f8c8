#include "bridge/cli_result.hpp"

#include <string_view>

#include "strings/ui_strings.hpp"

namespace vardex {
namespace {

// White space and line breaks in the Unicode sense: the separators (Zs, Zl, Zp), the controls
// from tab to carriage return, and the next-line control.
bool isWhiteSpace(char32_t c) {
    if (c >= 0x09 && c <= 0x0D) return true;
    switch (c) {
    case 0x20: case 0x85: case 0xA0: case 0x1680: case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

bool isContinuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The text is UTF-8 (streams that are not read as empty), so sequences are whole.
char32_t decode(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence.front());
    if (lead < 0x80) return lead;
    const int length = static_cast<int>(sequence.size());
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) value = (value << 6) | (static_cast<unsigned char>(sequence[i]) & 0x3F);
    return value;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty()) {
        std::size_t length = 1;
        while (length < text.size() && isContinuation(text[length])) ++length;
        if (!isWhiteSpace(decode(text.substr(0, length)))) break;
        text.remove_prefix(length);
    }
    while (!text.empty()) {
        std::size_t start = text.size() - 1;
        while (start > 0 && isContinuation(text[start])) --start;
        if (!isWhiteSpace(decode(text.substr(start)))) break;
        text.remove_suffix(text.size() - start);
    }
    return text;
}

}  // namespace

std::string CliResult::combined() const {
    const std::string_view out = trimmed(stdout);
    const std::string_view err = trimmed(stderr);
    if (out.empty()) return std::string(err);
    if (err.empty()) return std::string(out);
    std::string text(out);
    text.push_back('\n');
    text.append(err);
    return text;
}

std::string CliError::description() const {
    switch (kind_) {
    case Kind::spawnFailed:
        return std::string(UIStrings::spawnFailedPrefix) + reason_;
    case Kind::binaryMissing:
        return std::string(UIStrings::binaryMissing);
    case Kind::timedOut:
        return std::string(UIStrings::engineTimedOut);
    }
    return {};
}

}  // namespace vardex
