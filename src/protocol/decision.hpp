#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/result.hpp"
#include "protocol/decoding_error.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

enum class Outcome { allow, ask, deny };
enum class Severity { info, low, medium, high, critical };

template <>
struct WireNames<Outcome> {
    static constexpr std::array<std::pair<Outcome, std::string_view>, 3> table{{
        {Outcome::allow, "allow"}, {Outcome::ask, "ask"}, {Outcome::deny, "deny"}}};
};

template <>
struct WireNames<Severity> {
    static constexpr std::array<std::pair<Severity, std::string_view>, 5> table{{
        {Severity::info, "info"},
        {Severity::low, "low"},
        {Severity::medium, "medium"},
        {Severity::high, "high"},
        {Severity::critical, "critical"},
    }};
};

// How risky an action scored: always finite and within [0, 1].
class RiskScore {
public:
    static constexpr double min = 0.0;
    static constexpr double max = 1.0;

    RiskScore() = default;
    // Fails for anything negative, above 1, NaN or infinite.
    static Result<RiskScore, DecodingError> make(double value);

    double value() const { return value_; }

    friend bool operator==(const RiskScore&, const RiskScore&) = default;

private:
    explicit RiskScore(double value) : value_(value) {}
    double value_ = 0.0;
};

// The shortest decimal text of a double, as the error texts show it ("1.0000001", "2.0", "nan").
std::string shortestDecimal(double value);

// The engine's verdict on one action.
struct Decision {
    Outcome outcome = Outcome::allow;
    std::optional<std::string> ruleId;
    std::vector<std::string> matchedRuleIds;
    Severity severity = Severity::info;
    std::string reasonUser;
    std::string reasonAgent;
    RiskScore riskScore;

    friend bool operator==(const Decision&, const Decision&) = default;
};

}  // namespace vardex
