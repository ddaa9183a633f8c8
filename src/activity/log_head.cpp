#include "activity/log_head.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

namespace vardex {
namespace {

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string logHeadText(const LogHead& head) { return std::to_string(head.entries) + ":" + head.hashPrefix; }

std::optional<LogHead> parseLogHead(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.size() < logHeadHashLength + 2) return std::nullopt;
    std::string hash(text.substr(text.size() - logHeadHashLength));
    if (!std::all_of(hash.begin(), hash.end(), isHex)) return std::nullopt;
    std::transform(hash.begin(), hash.end(), hash.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    text.remove_suffix(logHeadHashLength);

    bool separated = false;
    for (bool more = true; more;) {
        more = false;
        for (std::string_view separator : {":", " ", "\u00b7"}) {
            if (text.ends_with(separator)) {
                text.remove_suffix(separator.size());
                separated = more = true;
            }
        }
    }
    if (!separated || text.empty()) return std::nullopt;
    std::size_t entries = 0;
    bool digits = false;
    for (const char c : text) {
        if (c == ',' || c == '.' || c == '\'' || c == '_') continue;
        if (c < '0' || c > '9') return std::nullopt;
        if (entries > (SIZE_MAX - 9) / 10) return std::nullopt;
        entries = entries * 10 + static_cast<std::size_t>(c - '0');
        digits = true;
    }
    if (!digits || entries == 0) return std::nullopt;
    return LogHead{entries, std::move(hash)};
}

std::optional<LogHead> LogHeadTally::advance(const std::filesystem::path& log) {
    struct stat status {};
    if (::stat(log.c_str(), &status) != 0) {
        *this = LogHeadTally{};
        return std::nullopt;
    }
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    const auto id = static_cast<std::uintmax_t>(status.st_ino);
    if (id != fileId_ || size < counted_) *this = LogHeadTally{};
    fileId_ = id;
    if (size == counted_) return head_;

    std::ifstream in(log, std::ios::binary);
    if (!in || !in.seekg(static_cast<std::streamoff>(counted_))) return head_;
    std::array<char, 64 * 1024> block{};
    std::uintmax_t offset = counted_;
    std::uintmax_t wholeEnd = counted_;
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            if (block[i] != '\n') continue;
            lastLineStart_ = wholeEnd;
            wholeEnd = offset + i + 1;
            ++entries_;
        }
        offset += got;
    }
    if (wholeEnd == counted_) return head_;
    counted_ = wholeEnd;

    std::ifstream last(log, std::ios::binary);
    std::string line(static_cast<std::size_t>(wholeEnd - lastLineStart_ - 1), '\0');
    if (!last.seekg(static_cast<std::streamoff>(lastLineStart_)) || !last.read(line.data(), static_cast<std::streamsize>(line.size()))) {
        return head_ = std::nullopt;
    }
    const auto entry = nlohmann::json::parse(line, nullptr, false);
    const bool named = entry.is_object() && entry.contains("hash") && entry["hash"].is_string();
    const std::string hash = named ? entry["hash"].get<std::string>() : std::string();
    if (hash.size() < logHeadHashLength || !std::all_of(hash.begin(), hash.end(), isHex)) return head_ = std::nullopt;
    return head_ = LogHead{entries_, hash.substr(0, logHeadHashLength)};
}

}  // namespace vardex
