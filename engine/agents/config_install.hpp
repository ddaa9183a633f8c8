#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "agents/agent_config_error.hpp"
#include "agents/install_records.hpp"
#include "common/result.hpp"

namespace vardex::engine {

// The engine's two edits of one kind of configuration file, as functions of the file's text.
struct ConfigEdit {
    // The text with the engine's entries in place; an absent text is a file not there yet.
    std::function<Result<std::string, ConfigProblem>(const std::optional<std::string>&)> add;
    // The text without them; nothing when it held none.
    std::function<std::optional<std::string>(const std::string&)> remove;
};

// Adds the engine's entries to `file`, creating it (and its folders) when `create` allows and
// it is missing. The first change of a file is recorded in `records` before the file is
// written, so that `removeFromConfig` can restore it byte for byte. True when the file changed.
Result<bool, AgentConfigError> addToConfig(const std::filesystem::path& file, const ConfigEdit& edit,
                                           InstallRecords& records, bool create);

// Removes the engine's entries from `file`. When nothing else in the file changed since the
// engine's first change, the file is given back exactly as it was (a file the engine created
// is deleted, and the folders made for it when they are empty); otherwise only the engine's
// entries go. A file without them is not touched. True when the file changed.
Result<bool, AgentConfigError> removeFromConfig(const std::filesystem::path& file, const ConfigEdit& edit,
                                                InstallRecords& records);

// The file's text; nothing when it does not exist or cannot be read.
std::optional<std::string> readConfig(const std::filesystem::path& file);

}  // namespace vardex::engine
