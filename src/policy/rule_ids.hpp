#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vardex {

// The id tail of a folder rule: the folder's last component, lower-cased, with every character
// that is neither a letter nor a number turned into ".", runs of dots folded, cut to 24
// characters, then "." and a hexadecimal hash of the whole path.
std::string slug(std::string_view path);

// The 64-bit hash behind `slug`. Seeded afresh in every process and deterministic within one,
// so the same folder added in two runs gets two ids.
std::int64_t pathHash(std::string_view path);

// The bare domain of a typed site: no scheme, path, "*." or "www.", lower-cased. A port stays.
std::string normalisedDomain(std::string_view text);

}  // namespace vardex
