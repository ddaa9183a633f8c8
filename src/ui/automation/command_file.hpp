#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/result.hpp"

namespace vardex::ui {

// The file a script appends commands to, one per line, and the ".out" file beside it that gets
// one JSON line per command run. The app only reads it, from where it stopped the last time, so
// no line runs twice and none is lost to a writer that appends while it reads. A file put in its
// place (or cut short) is read from its start. The file goes with the app, so the next run of the
// app does not run its lines again.
class CommandFile {
public:
    explicit CommandFile(std::filesystem::path path);
    CommandFile(const CommandFile&) = delete;
    CommandFile& operator=(const CommandFile&) = delete;
    ~CommandFile();

    // The complete lines that arrived since the last call, blank ones dropped. A last line
    // without its line feed is held back until the rest of it arrives. Refused when the file is
    // a link, not a regular file, or not the user's own; the same refusal is given once.
    Result<std::vector<std::string>, std::string> take();
    // Appends one compact JSON line to the ".out" file.
    void report(const nlohmann::json& line) const;

    const std::filesystem::path& path() const { return path_; }

private:
    Result<std::vector<std::string>, std::string> read();

    std::filesystem::path path_;
    // The file read last (device and inode) and how far.
    std::pair<dev_t, ino_t> file_{};
    off_t offset_ = 0;
    std::string partial_;
    std::string refusal_;
};

}  // namespace vardex::ui
