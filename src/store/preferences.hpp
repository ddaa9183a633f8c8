#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "activity/timestamp.hpp"

namespace vardex {

using PreferenceValue = std::variant<bool, std::int64_t, double, std::string, std::vector<std::string>, TimePoint>;

// The user's per-user key-value preferences (a named domain when VARDEX_DEFAULTS_SUITE is set).
class Preferences {
public:
    virtual ~Preferences() = default;
    virtual std::optional<PreferenceValue> value(const std::string& key) const = 0;
    virtual void setValue(const std::string& key, const PreferenceValue& value) = 0;
};

}  // namespace vardex
