#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardex::testing {

// A fresh folder under /tmp, removed with everything in it when the object goes. The name is
// short so Unix socket paths inside it stay well under the 103-byte limit.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes `text` to `file`, creating its folder; fails the test on error.
void writeFile(const std::filesystem::path& file, std::string_view text);

// The lines of `file` without their line feeds; none when it cannot be read.
std::vector<std::string> readLines(const std::filesystem::path& file);
// The bytes of `file`; absent when it cannot be opened.
std::optional<std::string> readFile(const std::filesystem::path& file);
// Writes a /bin/sh script with `body` after the interpreter line and makes it executable.
// Returns the script's path.
std::filesystem::path writeScript(const std::filesystem::path& file, std::string_view body);

}  // namespace vardex::testing
