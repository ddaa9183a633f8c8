#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

namespace vardex::engine {

// Resolves symbolic links as the kernel does, one folder at a time, remembering each step.
// Planning a sandbox asks about a hundred places below the same few folders; resolving each
// afresh cost a system call for every folder on its way, most of the engine's planning time.
class RealPaths {
public:
    struct Place {
        std::filesystem::path path;  // absolute, without links
        bool folder = false;
    };

    // The place an absolute path names, links followed; nothing when it does not exist.
    std::optional<Place> find(const std::filesystem::path& path);
    // Like std::filesystem::weakly_canonical: the part that exists resolved, the rest appended
    // as written. A relative path comes back only made normal.
    std::filesystem::path real(const std::filesystem::path& path);

private:
    struct Walk {
        Place reached;
        std::filesystem::path rest;  // what could not be resolved, from the first missing part
    };
    Walk walk(const std::filesystem::path& path, int& links);
    std::optional<Place> step(const std::filesystem::path& candidate, int& links);

    std::unordered_map<std::string, std::optional<Place>> known_;
};

}  // namespace vardex::engine
