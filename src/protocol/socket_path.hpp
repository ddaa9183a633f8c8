#pragma once

#include <string>

namespace vardex {

// "VARDEX_SOCK" when set and not empty, else the home folder followed by
// "/Library/Application Support/Talvenor/vardex.sock".
std::string defaultSocketPath();

}  // namespace vardex
