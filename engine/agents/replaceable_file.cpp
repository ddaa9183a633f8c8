#include "agents/replaceable_file.hpp"

#include <sys/stat.h>

#include <optional>

namespace vardex::engine {
namespace {

std::optional<struct stat> statOf(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

// Group membership is not looked at: a group write bit on anything in the way is already a
// weakness worth reporting.
bool writableBy(const struct stat& info, uid_t uid) {
    if (uid == 0) return true;
    // A link's own mode means nothing; only its folder decides who may change it.
    if (S_ISLNK(info.st_mode)) return false;
    if (info.st_uid == uid) return true;
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Walks from the file up to the root folder.
bool chainReplaceable(const std::filesystem::path& path, uid_t uid) {
    auto entry = statOf(path);
    if (!entry || writableBy(*entry, uid)) return true;
    for (auto current = path; current.has_parent_path() && current != current.parent_path();
         current = current.parent_path()) {
        const auto folder = statOf(current.parent_path());
        if (!folder) return true;
        const bool sticky = (folder->st_mode & S_ISVTX) != 0;
        if (writableBy(*folder, uid) && !(sticky && folder->st_uid != uid && entry->st_uid != uid)) return true;
        entry = folder;
    }
    return false;
}

}  // namespace

bool replaceableBy(const std::filesystem::path& path, uid_t uid) {
    std::error_code code;
    const auto resolved = std::filesystem::canonical(path, code);
    if (code) return true;
    // The path as recorded matters as much as the file it leads to: a link on the way can be
    // pointed elsewhere.
    return chainReplaceable(std::filesystem::absolute(path, code).lexically_normal(), uid) ||
           chainReplaceable(resolved, uid);
}

}  // namespace vardex::engine
