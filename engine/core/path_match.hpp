#pragma once

#include <string>
#include <string_view>

namespace vardex::engine {

// The absolute, normalised form of a path as an agent wrote it: a leading "~", "$HOME" or
// "${HOME}" becomes `home`, a relative path is taken against `cwd` (left relative when `cwd` is
// empty), "." and ".." are resolved by text, and a trailing "/" is dropped.
std::string absolutePath(std::string_view path, std::string_view home, std::string_view cwd);

// Shell-style matching. In path mode "*" and "?" stay within one path component and "**"
// crosses any number of them ("/a/**" matches "/a/b/c" but not "/a" itself); otherwise "*"
// matches anything.
bool globMatch(std::string_view pattern, std::string_view text, bool pathMode);

// True when `path` is `folder` or lies beneath it (both absolute and normalised).
bool isUnder(std::string_view path, std::string_view folder);

// The last path component ("/usr/bin/rm" gives "rm").
std::string_view baseName(std::string_view path);

// ASCII lower case; rule patterns and program names are ASCII.
std::string asciiLower(std::string_view text);

}  // namespace vardex::engine
