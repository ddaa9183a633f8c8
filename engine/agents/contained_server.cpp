#include "agents/contained_server.hpp"

#include <unistd.h>

#include <sstream>
#include <system_error>

#include "agents/host_surroundings.hpp"
#include "bridge/vardex_paths.hpp"
#include "sandbox/sandbox_plan.hpp"
#include "sandbox/sandbox_probe.hpp"

namespace vardex::engine {

namespace fs = std::filesystem;

namespace {

bool regularFile(const fs::path& path) {
    std::error_code code;
    return fs::is_regular_file(path, code);
}

// As execvp looks a bare program name up.
std::optional<fs::path> onSearchPath(const std::string& program, const std::string& searchPath) {
    std::stringstream folders(searchPath);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const auto candidate = fs::path(folder.empty() ? "." : folder) / program;
        if (regularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::vector<fs::path> serverFiles(const std::vector<std::string>& command, const std::string& searchPath,
                                  const fs::path& workingFolder) {
    std::vector<fs::path> files;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const auto& word = command[i];
        if (word.empty() || (i > 0 && word.front() == '-')) continue;
        if (i == 0 && word.find('/') == std::string::npos) {
            if (auto found = onSearchPath(word, searchPath)) files.push_back(workingFolder / *found);
            continue;
        }
        const auto file = workingFolder / word;
        if (regularFile(file)) files.push_back(file.lexically_normal());
    }
    return files;
}

Result<std::vector<std::string>, std::string> serverLaunch(const std::vector<std::string>& command) {
    const auto searchPath = VardexPaths::env("PATH").value_or("");
    std::error_code ignored;
    const auto folder = fs::current_path(ignored);
    auto surroundings = hostSurroundings(folder);
    const auto sandbox = rememberedProbe(sandboxTrialFile(), searchPath);
    if (!sandbox.available()) {
        if (!surroundings.settings.required) return command;
        return fail("no sandbox can run here (" + sandbox.reason + "), and the sandbox is required. " + sandbox.fix);
    }
    surroundings.programFiles = serverFiles(command, searchPath, folder);
    auto words = bwrapArguments(planSandbox(surroundings), command);
    words.insert(words.begin(), sandbox.bwrap->string());
    return words;
}

}  // namespace vardex::engine
