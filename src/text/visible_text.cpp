#include "text/visible_text.hpp"

#include <cstdio>

#include <utf8proc.h>


namespace vardex::unicode {
namespace {

bool drawsNothingOrReorders(utf8proc_int32_t cp) {
    if (cp == '\n' || cp == '\t') return false;
    switch (utf8proc_category(cp)) {
        case UTF8PROC_CATEGORY_CC:  // C0, DEL and C1 controls (NEL among them)
        case UTF8PROC_CATEGORY_CF:  // bidi controls, zero-width characters, the BOM, tag characters
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP: return true;
        default: break;
    }
    // Blank in every font yet not classed as format characters.
    return cp == 0x115F || cp == 0x1160 || cp == 0x3164 || cp == 0xFFA0 || (cp >= 0xFE00 && cp <= 0xFE0F);
}

// "⟨U+202E⟩" for a code point, "⟨0xFF⟩" for a stray byte.
std::string marker(const char* format, unsigned value) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    return "\u27E8" + std::string(buffer, static_cast<std::size_t>(length)) + "\u27E9";
}

}  // namespace

std::string visibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    for (std::size_t at = 0; at < text.size();) {
        utf8proc_int32_t cp = 0;
        const auto length = utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &cp);
        if (length < 1) {
            out += marker("0x%02X", static_cast<unsigned char>(text[at]));
            ++at;
            continue;
        }
        if (drawsNothingOrReorders(cp)) out += marker("U+%04X", static_cast<unsigned>(cp));
        else out.append(text.substr(at, static_cast<std::size_t>(length)));
        at += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace vardex::unicode
