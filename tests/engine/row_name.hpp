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

}  // namespace vardex::testing
