#pragma once

#include <cctype>
#include <string>
#include <string_view>

namespace vardex::testing {

// A test name made from a row's text (a shell line, a pattern): letters and digits kept, every
// other run of characters one "_", and the row's place last so two rows never share a name.
inline std::string rowName(std::string_view text, std::size_t index) {
    std::string name;
    for (const char c : text) {
        if (name.size() >= 40) break;
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    if (!name.empty() && name.back() != '_') name += '_';
    return name + std::to_string(index);
}

// A table row's test name made from one of its text members.
template <auto member>
inline const auto byText = [](const auto& row) { return rowName(row.param.*member, row.index); };

// A table row's test name, for rows that carry one in `name`.
inline const auto byName = [](const auto& row) { return std::string(row.param.name); };

}  // namespace vardex::testing
