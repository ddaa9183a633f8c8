#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "policy/user_policy_file.hpp"

namespace vardex::testing {

// Random policies for the round-trip, oracle and fuzz-seed tests. Texts mix letters, blanks,
// quotes, backslashes, YAML punctuation and non-ASCII characters, but never a line break: the
// file format does not escape those.
class PolicyGenerator {
public:
    explicit PolicyGenerator(std::uint32_t seed) : random_(seed) {}

    UserPolicyFile next();
    std::string text(std::size_t maxPieces);

private:
    UserRule rule();
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
    std::string idTail();

    std::mt19937 random_;
};

}  // namespace vardex::testing
