#include "text/unicode_text.hpp"

#include <utf8proc.h>

namespace vardex::unicode {
namespace {

const utf8proc_uint8_t* bytes(std::string_view text) {
    return reinterpret_cast<const utf8proc_uint8_t*>(text.data());
}

// Decodes the code point at `offset`; a byte that does not start valid UTF-8 reads as -1
// and is consumed alone.
utf8proc_ssize_t decodeAt(std::string_view text, std::size_t offset, utf8proc_int32_t& cp) {
    auto length = utf8proc_iterate(bytes(text) + offset,
                                   static_cast<utf8proc_ssize_t>(text.size() - offset), &cp);
    if (length < 1) {
        cp = -1;
        return 1;
    }
    return length;
}

}  // namespace

bool isWhiteSpace(char32_t codePoint) {
    if ((codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85) return true;
    if (codePoint > 0x10FFFF) return false;
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(codePoint))) {
        case UTF8PROC_CATEGORY_ZS:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP: return true;
        default: return false;
    }
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size()) {
        utf8proc_int32_t cp = 0;
        auto length = decodeAt(text, begin, cp);
        if (cp < 0 || !isWhiteSpace(static_cast<char32_t>(cp))) break;
        begin += static_cast<std::size_t>(length);
    }
    // Scan forwards to find the end of the last character that is not white space; walking
    // backwards through UTF-8 would need its own validation.
    std::size_t end = begin;
    for (std::size_t at = begin; at < text.size();) {
        utf8proc_int32_t cp = 0;
        auto length = decodeAt(text, at, cp);
        at += static_cast<std::size_t>(length);
        if (cp < 0 || !isWhiteSpace(static_cast<char32_t>(cp))) end = at;
    }
    return text.substr(begin, end - begin);
}

std::string lowercased(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        utf8proc_int32_t cp = 0;
        auto length = decodeAt(text, at, cp);
        if (cp < 0) {
            out += text[at];
        } else {
            utf8proc_uint8_t buffer[4];
            auto written = utf8proc_encode_char(utf8proc_tolower(cp), buffer);
            out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(written));
        }
        at += static_cast<std::size_t>(length);
    }
    return out;
}

namespace {

// Calls `onBoundary(offset)` at the start of every character after the first; stops early
// when it returns false.
template <class F>
void forEachCharacterBoundary(std::string_view text, F onBoundary) {
    utf8proc_int32_t state = 0;
    utf8proc_int32_t previous = -1;
    for (std::size_t at = 0; at < text.size();) {
        utf8proc_int32_t cp = 0;
        auto length = decodeAt(text, at, cp);
        if (at > 0) {
            // An invalid byte stands alone as a character of its own.
            bool isBreak = true;
            if (previous < 0 || cp < 0) {
                state = 0;
            } else {
                isBreak = utf8proc_grapheme_break_stateful(previous, cp, &state);
            }
            if (isBreak && !onBoundary(at)) return;
        }
        previous = cp;
        at += static_cast<std::size_t>(length);
    }
}

}  // namespace

std::size_t characterCount(std::string_view text) {
    if (text.empty()) return 0;
    std::size_t count = 1;
    forEachCharacterBoundary(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::string_view firstCharacters(std::string_view text, std::size_t count) {
    if (count == 0) return {};
    std::size_t seen = 1;
    std::size_t end = text.size();
    forEachCharacterBoundary(text, [&](std::size_t offset) {
        if (seen == count) {
            end = offset;
            return false;
        }
        ++seen;
        return true;
    });
    return text.substr(0, end);
}

std::vector<std::string_view> characters(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    forEachCharacterBoundary(text, [&](std::size_t offset) {
        out.push_back(text.substr(start, offset - start));
        start = offset;
        return true;
    });
    if (start < text.size()) out.push_back(text.substr(start));
    return out;
}

bool isValidUTF8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        utf8proc_int32_t cp = 0;
        at += static_cast<std::size_t>(decodeAt(text, at, cp));
        if (cp < 0) return false;
    }
    return true;
}

bool isLetterOrNumber(std::string_view character) {
    if (character.empty()) return false;
    utf8proc_int32_t cp = 0;
    decodeAt(character, 0, cp);
    if (cp < 0) return false;
    switch (utf8proc_category(cp)) {
        case UTF8PROC_CATEGORY_LU:
        case UTF8PROC_CATEGORY_LL:
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO: return true;
        default: return false;
    }
}

}  // namespace vardex::unicode
