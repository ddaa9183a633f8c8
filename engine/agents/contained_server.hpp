#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/result.hpp"

namespace vardex::engine {

// The files an MCP server's command runs from, as starting it would find them: the program
// (through `searchPath` when it names no folder) and each argument that names an existing file,
// a relative one taken from `workingFolder`.
std::vector<std::filesystem::path> serverFiles(const std::vector<std::string>& command, const std::string& searchPath,
                                               const std::filesystem::path& workingFolder);

// The words that start the MCP server `command` from the working folder: bwrap's around it, in
// the sandbox allowed shell commands run in, with the server's own files readable. Where no
// sandbox can run the command itself, unless the `required` setting is on: then the sentence
// saying why it will not start.
Result<std::vector<std::string>, std::string> serverLaunch(const std::vector<std::string>& command);

}  // namespace vardex::engine
