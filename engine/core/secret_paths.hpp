#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vardex::engine {

// The kinds of secret file the engine guards, one for each risk story.
enum class SecretKind { none, sshKey, cloud, packageToken, keychain, browser, dotenv };

// What kind of secret a path names. `path` is absolute and normalised; it may hold shell
// wildcards ("~/.ss?/*", "id_*") or unresolved variables, in which case it counts as the
// secret it could name. Secrets are recognised in any user's home folder (`home`,
// "/home/NAME", "/root", "/Users/NAME"), so that "~bob" or a home reached through a link
// does not hide them.
SecretKind secretKind(std::string_view path, std::string_view home);

// True for a folder that holds nothing but secrets ("~/.ssh", "~/.aws"): listing or creating
// it reads nothing, while copying or archiving it takes every secret inside.
bool isSecretFolder(std::string_view path, std::string_view home);

// The kind of secret a command prints ("gh auth token" prints a code-hosting token), from the
// catalogue of secret-printing commands; `program` is the bare program name.
SecretKind printedSecret(std::string_view program, const std::vector<std::string>& args);

}  // namespace vardex::engine
