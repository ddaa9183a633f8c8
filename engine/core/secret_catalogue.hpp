#pragma once

#include <span>
#include <string_view>

#include "core/secret_paths.hpp"

namespace vardex::engine {

// A place below a home folder that holds secrets. The read rules and the sandbox's masks both
// come from this one list, so a secret the rules guard is also a secret a contained command
// cannot see.
struct SecretPlace {
    std::string_view relative;  // below a home folder
    SecretKind kind;
    bool folder;  // everything beneath counts
};

// Folders come before single files where they overlap; the first match names the kind.
std::span<const SecretPlace> secretPlaces();

// A command that prints a secret of some kind ("gh auth token", "kubectl config view --raw").
struct SecretPrinter {
    std::string_view program;
    std::string_view words;  // operands in this order and options anywhere, blank-separated
    SecretKind kind;
};

std::span<const SecretPrinter> secretPrinters();

}  // namespace vardex::engine
