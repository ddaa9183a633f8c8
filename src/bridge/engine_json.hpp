#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// Small readings shared by the parsers of the engine's reports. Every one of them treats a
// missing member and a member of the wrong type alike: nothing.
namespace vardex::engine_json {

// The member `key` of `object` when `object` is an object holding it; null JSON otherwise
// (a present null reads as absent too).
const nlohmann::json* member(const nlohmann::json& object, std::string_view key);

std::optional<std::string> text(const nlohmann::json* value);
std::string textOr(const nlohmann::json& object, std::string_view key, std::string_view fallback);

// Parses a whole document, allowing a bare value at the top level; absent on a syntax error,
// on text that is not UTF-8 inside strings and on numbers beyond a double.
std::optional<nlohmann::json> parse(std::string_view bytes);

// Leading and trailing white space and line breaks removed, in the Unicode sense the runner
// uses for its combined output.
std::string trimmed(std::string_view text);

// Lower case in the Unicode sense, code point by code point; bytes that are not UTF-8 are kept.
std::string lowercased(std::string_view text);

// Every byte that does not start a valid UTF-8 sequence replaced by U+FFFD; never fails.
std::string repairedUTF8(std::string_view bytes);

}  // namespace vardex::engine_json
