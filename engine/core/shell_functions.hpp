#pragma once

#include <map>
#include <string>
#include <string_view>

namespace vardex::engine {

// The functions a shell line defines ("name() { ...; }", "function name { ...; }"), by name,
// with the text of their bodies, so that a call can be judged with the arguments it passes.
std::map<std::string, std::string> shellFunctions(std::string_view line);

}  // namespace vardex::engine
