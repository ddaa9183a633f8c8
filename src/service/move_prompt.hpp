#pragma once

#include <string_view>

// Whether the app runs from a place it should not stay in (a mounted disk image, Downloads,
// the Desktop, or a path the system moved it to), and should offer to move itself into the
// Applications folder. Exact, case-sensitive comparisons on the path as the system reports it.
namespace vardex::MovePrompt {

bool needsMove(std::string_view bundlePath, std::string_view home);

}  // namespace vardex::MovePrompt
