#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vardex {

// What the user reads beside an approval request or a blocked action for one engine rule.
struct RiskStory {
    std::string_view headline;
    std::string_view why;
    std::string_view allowOnce;

    friend bool operator==(const RiskStory&, const RiskStory&) = default;
};

namespace UIStrings {

// Keyed by the engine's rule id, in ascending text order.
const std::map<std::string_view, RiskStory>& riskStories();

// For an unknown rule, or none.
extern const RiskStory fallbackRiskStory;

// Exact match on the rule id; anything else gets the fallback.
const RiskStory& riskStory(const std::optional<std::string>& ruleId);
const RiskStory& riskStory(std::string_view ruleId);

}  // namespace UIStrings
}  // namespace vardex
