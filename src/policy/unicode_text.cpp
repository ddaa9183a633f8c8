#include "policy/unicode_text.hpp"

#include <utf8proc.h>

namespace vardex::unicode {
namespace {

struct Decoded {
    utf8proc_int32_t codePoint;  // -1 for a byte that starts no valid sequence
    std::size_t length;
};

Decoded decodeAt(std::string_view text, std::size_t at) {
    utf8proc_int32_t codePoint = -1;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at);
    const auto length = utf8proc_iterate(bytes, static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
    if (length <= 0) return {-1, 1};
    return {codePoint, static_cast<std::size_t>(length)};
}

// The last code point of the text and where it starts; invalid bytes count one each.
Decoded decodeLast(std::string_view text, std::size_t& start) {
    std::size_t at = text.size() - 1;
    // A UTF-8 sequence is at most four bytes: look back over continuation bytes only.
    for (std::size_t back = 0; back < 3 && at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; ++back) --at;
    const Decoded decoded = decodeAt(text, at);
    if (decoded.codePoint >= 0 && at + decoded.length == text.size()) {
        start = at;
        return decoded;
    }
    start = text.size() - 1;
    return {-1, 1};
}

bool isWhitespace(utf8proc_int32_t codePoint) {
    if (codePoint < 0) return false;
    if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85) return true;
    const auto category = utf8proc_category(codePoint);
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
           category == UTF8PROC_CATEGORY_ZP;
}

}  // namespace

bool isValidUTF8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Decoded decoded = decodeAt(text, at);
        if (decoded.codePoint < 0) return false;
        at += decoded.length;
    }
    return true;
}

std::string_view trimWhitespace(std::string_view text) {
    while (!text.empty()) {
        const Decoded first = decodeAt(text, 0);
        if (!isWhitespace(first.codePoint)) break;
        text.remove_prefix(first.length);
    }
    while (!text.empty()) {
        std::size_t start = 0;
        const Decoded last = decodeLast(text, start);
        if (!isWhitespace(last.codePoint)) break;
        text = text.substr(0, start);
    }
    return text;
}

std::string lowercased(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Decoded decoded = decodeAt(text, at);
        if (decoded.codePoint < 0) {
            out.push_back(text[at]);
        } else {
            utf8proc_uint8_t buffer[4];
            const auto length = utf8proc_encode_char(utf8proc_tolower(decoded.codePoint), buffer);
            out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
        }
        at += decoded.length;
    }
    return out;
}

std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    utf8proc_int32_t previous = -1;
    utf8proc_int32_t state = 0;
    for (std::size_t at = 0; at < text.size();) {
        const Decoded decoded = decodeAt(text, at);
        const bool breaks = at == 0 || previous < 0 || decoded.codePoint < 0 ||
                            utf8proc_grapheme_break_stateful(previous, decoded.codePoint, &state);
        if (breaks && at > start) {
            out.push_back(text.substr(start, at - start));
            start = at;
        }
        if (decoded.codePoint < 0) state = 0;
        previous = decoded.codePoint;
        at += decoded.length;
    }
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

bool isLetterOrNumber(std::string_view character) {
    if (character.empty()) return false;
    const Decoded first = decodeAt(character, 0);
    if (first.codePoint < 0) return false;
    switch (utf8proc_category(first.codePoint)) {
        case UTF8PROC_CATEGORY_LU:
        case UTF8PROC_CATEGORY_LL:
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO:
            return true;
        default:
            return false;
    }
}

}  // namespace vardex::unicode
