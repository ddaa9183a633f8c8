#include "bridge/engine_json.hpp"

#include <utf8proc.h>

#include "bridge/cli_result.hpp"
#include "text/unicode_text.hpp"

namespace vardex::engine_json {

const nlohmann::json* member(const nlohmann::json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

std::optional<std::string> text(const nlohmann::json* value) {
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::string textOr(const nlohmann::json& object, std::string_view key, std::string_view fallback) {
    return text(member(object, key)).value_or(std::string(fallback));
}

std::optional<nlohmann::json> parse(std::string_view bytes) {
    auto document = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded()) return std::nullopt;
    return document;
}

std::string trimmed(std::string_view text) {
    // The runner's combined output trims a lone standard output exactly this way.
    CliResult lone;
    lone.stdout = std::string(text);
    return lone.combined();
}

namespace {

// Rewrites UTF-8 text code point by code point; each byte that does not start a valid
// sequence goes to `invalid` on its own.
template <class Point, class Invalid>
std::string mapCodePoints(std::string_view text, Point point, Invalid invalid) {
    std::string out;
    out.reserve(text.size());
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    auto remaining = static_cast<utf8proc_ssize_t>(text.size());
    while (remaining > 0) {
        utf8proc_int32_t value = 0;
        const auto length = utf8proc_iterate(bytes, remaining, &value);
        if (length <= 0) {
            invalid(out, static_cast<char>(*bytes));
            ++bytes;
            --remaining;
            continue;
        }
        point(out, value);
        bytes += length;
        remaining -= length;
    }
    return out;
}

void appendCodePoint(std::string& out, utf8proc_int32_t value) {
    utf8proc_uint8_t encoded[4];
    const auto written = utf8proc_encode_char(value, encoded);
    out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(written));
}

}  // namespace

std::string lowercased(std::string_view text) { return unicode::lowercased(text); }

std::string repairedUTF8(std::string_view bytes) {
    return mapCodePoints(bytes, appendCodePoint, [](std::string& out, char) { out.append("\xEF\xBF\xBD"); });
}

}  // namespace vardex::engine_json
