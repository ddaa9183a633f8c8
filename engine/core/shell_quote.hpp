#pragma once

#include <string>
#include <string_view>

namespace vardex::engine {

// The word as the shell reads it back whole: bare when it holds only characters the shell
// gives no meaning to, else between single quotes (a quote inside written as '\'').
std::string shellQuoted(std::string_view word);

}  // namespace vardex::engine
