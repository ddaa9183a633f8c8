#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"

namespace vardex::ui {

// The file a script writes commands into, one per line, and the ".out" file beside it that gets
// one JSON line per command run. The file is taken whole: renamed to a private name first, so no
// line runs twice and none is lost to a writer that appends meanwhile (a writer makes a new
// file). Write each batch with one append (or write a file and rename it into place).
class CommandFile {
public:
    explicit CommandFile(std::filesystem::path path);

    // The complete lines that arrived since the last call, blank ones dropped. A last line
    // without its line feed is held back until the rest of it arrives. Refused when the file is
    // a link, not a regular file, or not the user's own.
    Result<std::vector<std::string>, std::string> take();
    // Appends one compact JSON line to the ".out" file.
    void report(const nlohmann::json& line) const;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string partial_;
};

}  // namespace vardex::ui
