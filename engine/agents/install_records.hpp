#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "agents/agent_config_error.hpp"
#include "common/result.hpp"

namespace vardex::engine {

// What a configuration file looked like before the engine first added its entries, so that
// removing them can give the user back the very bytes they had, not merely equal JSON.
struct InstallRecord {
    // The file's bytes before the change; absent when the engine created the file.
    std::optional<std::string> original;
    // The text the installed file turns into when the engine's entries are removed. When a
    // later removal gives exactly this, nobody else changed the file and `original` is restored.
    std::string clean;
    // Folders made for the file, outermost first; removed again when they are left empty.
    std::vector<std::string> createdFolders;

    friend bool operator==(const InstallRecord&, const InstallRecord&) = default;
};

// The records of every file the engine changed, kept in the user configuration folder as
// "installs.json" and keyed by the file's path.
class InstallRecords {
public:
    static std::filesystem::path location();
    // A missing or unreadable record file is no records: removal then keeps the user's later
    // text, only without the engine's entries.
    static InstallRecords load();
    Result<void, AgentConfigError> save() const;

    std::map<std::string, InstallRecord> byPath;
};

}  // namespace vardex::engine
