#pragma once

#include <string>
#include <string_view>

// Text that came from an agent or the engine is shown exactly as the program will read it: a
// character that draws nothing, or that reorders what is drawn around it, could make a command
// look like another one.
namespace vardex::unicode {

// The text with every control character (line feeds and tabs aside, which lay out as themselves),
// bidi control, zero-width or other invisible format character and line or paragraph separator
// written out as "⟨U+202E⟩", and every byte that is not UTF-8 as "⟨0xFF⟩".
std::string visibleText(std::string_view text);

}  // namespace vardex::unicode
