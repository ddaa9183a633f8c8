#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vardex::engine {

// Replaces this process with bwrap and its arguments, so the program's exit status, standard
// streams, environment and signals are the caller's own. Returns only when bwrap could not be
// started, with the status a shell gives a command it cannot run (127).
int execBwrap(const std::filesystem::path& bwrap, const std::vector<std::string>& arguments);

}  // namespace vardex::engine
