#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vardex::engine {

// The output of a substitution that only builds text: echo or printf of written-out words,
// passed through rev, tr, base64 -d or xxd -r -p ("echo hss. | rev" gives ".ssh"). Nothing
// when the line runs anything else, so a name assembled this way is read like a written one.
std::optional<std::string> evaluateText(std::string_view line);

// printf's backslash escapes (\n, \t, \xHH, \NNN) in a format or an echo -e argument.
std::string unescapePrintf(std::string_view text);

}  // namespace vardex::engine
