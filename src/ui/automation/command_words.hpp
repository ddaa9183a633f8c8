#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"

namespace vardex::ui {

// Splits one command line into words as a shell would: blanks separate words, single quotes
// keep everything, double quotes keep all but backslash escapes of \ " $ `, a backslash outside
// quotes keeps the next character. Nothing is expanded. An unclosed quote is an error.
Result<std::vector<std::string>, std::string> splitWords(std::string_view line);

}  // namespace vardex::ui
