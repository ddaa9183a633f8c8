#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The Unicode rules every user-facing text follows: "white space" is the White_Space property,
// "lower-cased" is per code point, and a "character" is an extended grapheme cluster, so an
// accented letter or an emoji is never cut in two.
namespace vardex::unicode {

bool isWhiteSpace(char32_t codePoint);

// Drops leading and trailing white space, line breaks included. Bytes that are not UTF-8 are
// kept as they are.
std::string_view trimmed(std::string_view text);

// Each code point mapped to its simple lower-case form.
std::string lowercased(std::string_view text);

// True when the whole text is well-formed UTF-8.
bool isValidUTF8(std::string_view text);

// The characters of the text, in order; an invalid byte is a character of its own.
std::vector<std::string_view> characters(std::string_view text);

// True when the character starts with a letter or a number (categories L* and N*).
bool isLetterOrNumber(std::string_view character);

std::size_t characterCount(std::string_view text);

// The first `count` characters (all of them when there are fewer).
std::string_view firstCharacters(std::string_view text, std::size_t count);

}  // namespace vardex::unicode
