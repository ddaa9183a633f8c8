#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The end of the activity log as a receipt names it: how many entries it held and the start of
// the last one's hash. Short enough to copy by hand; since every hash covers all the lines
// before it, no other log reaches the same head.
namespace vardex {

struct LogHead {
    std::size_t entries = 0;
    std::string hashPrefix;  // lowercase hex, `logHeadHashLength` characters

    friend bool operator==(const LogHead&, const LogHead&) = default;
};

inline constexpr std::size_t logHeadHashLength = 12;

// "1204:3fa9c2b1e0d4".
std::string logHeadText(const LogHead& head);

// What `logHeadText` writes, also with the separator a space or "·", digit groups in the count
// ("1,204") and uppercase hex, as a person may copy it from the image. Nothing for anything else.
std::optional<LogHead> parseLogHead(std::string_view text);

// Counts the log's whole lines as they grow. A file that shrank or was replaced is counted anew.
class LogHeadTally {
public:
    // The head after the file's lines up to its last line feed; nothing while the log has no
    // whole line, or its last line names no hash.
    std::optional<LogHead> advance(const std::filesystem::path& log);

private:
    std::uintmax_t fileId_ = 0;
    std::uintmax_t counted_ = 0;        // bytes read so far, up to just after a line feed
    std::uintmax_t lastLineStart_ = 0;  // where the last whole line begins
    std::size_t entries_ = 0;
    std::optional<LogHead> head_;
};

}  // namespace vardex
