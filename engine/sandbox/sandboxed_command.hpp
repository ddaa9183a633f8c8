#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vardex::engine {

// The shell command line that runs `command` through `vardex sandbox` with bash, in the same
// working folder: the original text reaches bash as one word, byte for byte. Nothing for a
// command holding a NUL byte, which no shell word can carry.
std::optional<std::string> sandboxedCommand(const std::filesystem::path& vardex, std::string_view command);

}  // namespace vardex::engine
