#include "policy_generators.hpp"

#include <array>
#include <string_view>

namespace vardex::testing {
namespace {

constexpr std::array<std::string_view, 24> pieces{
    "a", "Z", "q", "7", " ", "\t", "\"", "\\", "#", ":", "- ", "*", "/", ".",
    "é", "数", "🙂", "'", "{", "[", "|", "id:", "\\\"", "~"};
constexpr std::array<std::string_view, 5> severities{"info", "low", "medium", "high", "critical"};
constexpr std::array<std::string_view, 3> decisions{"allow", "ask", "deny"};

}  // namespace

std::string PolicyGenerator::text(std::size_t maxPieces) {
    std::string out;
    for (std::size_t n = below(maxPieces + 1); n > 0; --n) out += pieces[below(pieces.size())];
    return out;
}

std::string PolicyGenerator::idTail() {
    static constexpr std::string_view alphabet = "abcdefghijklmnopqrstuvwxyz0123456789.-";
    std::string out(1, 'a' + static_cast<char>(below(26)));
    for (std::size_t n = below(12); n > 0; --n) out.push_back(alphabet[below(alphabet.size())]);
    return out;
}

UserRule PolicyGenerator::rule() {
    using Kind = UserRule::MatchKind;
    UserRule rule;
    const std::size_t family = below(3);
    if (family == 0) {
        rule.id = std::string(UserRule::folderPrefix) + idTail();
    } else if (family == 1) {
        rule.id = std::string(UserRule::sitePrefix) + idTail();
    } else {
        rule.id = text(6);
    }
    if (chance(70)) rule.description = chance(10) ? std::string() : text(8);
    rule.severity = severities[below(severities.size())];
    rule.decision = decisions[below(decisions.size())];
    // The site match block belongs to site ids: anything else reads it back as a path list.
    rule.matchKind = family == 1 ? static_cast<Kind>(below(4)) : static_cast<Kind>(below(3));
    for (std::size_t n = below(5); n > 0; --n) {
        if (!rule.values.empty() && chance(15)) {
            rule.values.push_back(rule.values[below(rule.values.size())]);
        } else {
            rule.values.push_back(text(5));
        }
    }
    return rule;
}

UserPolicyFile PolicyGenerator::next() {
    UserPolicyFile policy;
    policy.version = chance(80) ? 1 : static_cast<std::uint32_t>(random_());
    policy.allowOverrideCritical = chance(50);
    if (chance(40)) policy.askTimeoutSeconds = chance(50) ? below(600) : (std::uint64_t{random_()} << 32 | random_());
    // Two decimals are written, so only hundredths come back unchanged.
    if (chance(40)) policy.askThreshold = static_cast<double>(below(101)) / 100.0;
    for (std::size_t n = below(4); n > 0; --n) policy.disable.push_back(chance(10) ? std::string() : text(6));
    for (std::size_t n = below(6); n > 0; --n) policy.rules.push_back(rule());
    return policy;
}

}  // namespace vardex::testing
