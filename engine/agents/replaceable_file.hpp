#pragma once

#include <sys/types.h>

#include <filesystem>

namespace vardex::engine {

// True when the user `uid` could put another file in place of `path`: by writing the file
// itself, or by renaming it away in one of the folders that lead to it (a folder that user
// owns or may write to, unless it is sticky and neither the folder nor the file is theirs).
// A path that cannot be examined counts as replaceable.
bool replaceableBy(const std::filesystem::path& path, uid_t uid);

}  // namespace vardex::engine
