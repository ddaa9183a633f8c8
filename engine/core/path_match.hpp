#pragma once

#include <string>
#include <string_view>

namespace vardex::engine {

// The absolute, normalised form of a path as an agent wrote it: a leading "~", "$HOME" or
// "${HOME}" becomes `home`, "~name" that user's home folder, a relative path is taken against `cwd` (left relative when `cwd` is
// empty), "." and ".." are resolved by text, and a trailing "/" is dropped.
std::string absolutePath(std::string_view path, std::string_view home, std::string_view cwd);

// The home folder of the user `name`: `home` for the user the engine protects (named by the
// account it runs as or by the last part of `home`), else the account's folder, else
// "/home/name".
std::string homeOfUser(std::string_view name, std::string_view home);

// Shell-style matching. In path mode "*", "?" and "[...]" stay within one path component and
// "**" crosses any number of them ("/a/**" matches "/a/b/c" but not "/a" itself); otherwise
// "*" matches anything. Pathological patterns give up (no match) rather than run for long.
bool globMatch(std::string_view pattern, std::string_view text, bool pathMode);

// True when `path` is `folder` or lies beneath it (both absolute and normalised).
bool isUnder(std::string_view path, std::string_view folder);

// The last path component ("/usr/bin/rm" gives "rm").
std::string_view baseName(std::string_view path);

// ASCII lower case; rule patterns and program names are ASCII.
std::string asciiLower(std::string_view text);

}  // namespace vardex::engine
