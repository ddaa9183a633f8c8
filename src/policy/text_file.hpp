#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/result.hpp"
#include "policy/policy_file_error.hpp"

namespace vardex {

// The whole file, byte for byte.
Result<std::string, PolicyFileError> readFileBytes(const std::filesystem::path& path);

// The whole file, which must be UTF-8 text.
Result<std::string, PolicyFileError> readTextFile(const std::filesystem::path& path);

// Replaces the file whole: the text goes to a temporary file in the same folder, which is then
// renamed over the target, so a reader sees the old file or the new one and a failed write
// leaves the old file as it was. An existing file keeps its permission bits.
Result<void, PolicyFileError> writeTextFileAtomically(const std::filesystem::path& path, std::string_view text);

}  // namespace vardex
