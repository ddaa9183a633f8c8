#include "sandbox/real_paths.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// As the kernel's own bound on links followed in one lookup.
constexpr int mostLinks = 40;

std::optional<fs::path> linkTarget(const fs::path& link) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
    return fs::path(std::string(buffer.data(), static_cast<std::size_t>(length)));
}

}  // namespace

std::optional<RealPaths::Place> RealPaths::step(const fs::path& candidate, int& links) {
    const auto key = candidate.string();
    if (const auto known = known_.find(key); known != known_.end()) return known->second;
    struct stat status {};
    if (::lstat(candidate.c_str(), &status) != 0) return known_[key] = std::nullopt;
    if (!S_ISLNK(status.st_mode)) return known_[key] = Place{candidate, S_ISDIR(status.st_mode)};
    const auto target = linkTarget(candidate);
    if (!target || ++links > mostLinks) return std::nullopt;  // a loop is not remembered as missing
    auto resolved = walk(target->is_absolute() ? *target : candidate.parent_path() / *target, links);
    if (!resolved.rest.empty()) return std::nullopt;
    return known_[key] = resolved.reached;
}

RealPaths::Walk RealPaths::walk(const fs::path& path, int& links) {
    Walk walk{{path.root_path(), true}, {}};
    const auto parts = path.relative_path();
    for (const auto& part : parts) {
        if (!walk.rest.empty()) {
            walk.rest /= part;
            continue;
        }
        if (part.empty() || part == ".") continue;
        std::optional<Place> next;
        if (!walk.reached.folder) {
            next = std::nullopt;
        } else if (part == "..") {
            // Taken on the resolved folder, as the kernel takes it.
            next = Place{walk.reached.path.parent_path(), true};
        } else {
            next = step(walk.reached.path / part, links);
        }
        if (next) {
            walk.reached = *next;
        } else {
            walk.rest = part;
        }
    }
    return walk;
}

std::optional<RealPaths::Place> RealPaths::find(const fs::path& path) {
    if (!path.is_absolute()) return std::nullopt;
    int links = 0;
    auto found = walk(path, links);
    if (!found.rest.empty()) return std::nullopt;
    return found.reached;
}

fs::path RealPaths::real(const fs::path& path) {
    if (!path.is_absolute()) return path.lexically_normal();
    int links = 0;
    const auto found = walk(path, links);
    if (found.rest.empty()) return found.reached.path;
    return (found.reached.path / found.rest).lexically_normal();
}

}  // namespace vardex::engine
