#pragma once

#include <string>

namespace vardex::testing {

// Names each case of a parameterised table after its `name` field.
inline constexpr auto caseName = [](const auto& test) { return std::string(test.param.name); };

}  // namespace vardex::testing
