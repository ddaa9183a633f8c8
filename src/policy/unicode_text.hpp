#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small Unicode helpers for the ids and paths the user types. Bytes that are not valid UTF-8
// are kept as they are and count as one character each, never as letters or white space.
namespace vardex::unicode {

// True when the whole text is well-formed UTF-8.
bool isValidUTF8(std::string_view text);

// Without Unicode white space (line breaks included) at both ends.
std::string_view trimWhitespace(std::string_view text);

// Each code point mapped to its simple lower-case form.
std::string lowercased(std::string_view text);

// The user-perceived characters (extended grapheme clusters), in order.
std::vector<std::string_view> characters(std::string_view text);

// True when the character starts with a letter or a number (categories L* and N*).
bool isLetterOrNumber(std::string_view character);

}  // namespace vardex::unicode
