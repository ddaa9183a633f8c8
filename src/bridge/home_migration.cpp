#include "bridge/home_migration.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "bridge/vardex_paths.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

bool hasEntries(const fs::path& folder) {
    std::error_code code;
    return fs::is_directory(folder, code) && !fs::is_empty(folder, code) && !code;
}

bool isEmptyOrMissing(const fs::path& folder) {
    std::error_code code;
    if (!fs::exists(fs::symlink_status(folder, code))) return true;
    return fs::is_directory(fs::symlink_status(folder, code)) && fs::is_empty(folder, code);
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// Across file systems a rename cannot work: the entry is copied beside its target, made durable,
// renamed into place, and only then is the original removed.
std::error_code copyThenRename(const fs::path& from, const fs::path& to) {
    std::error_code code;
    const fs::path staging = to.parent_path() / (to.filename().string() + ".moving");
    fs::remove_all(staging, code);
    fs::copy(from, staging, fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (code) return code;
    for (const auto& entry : fs::recursive_directory_iterator(staging, code)) {
        if (!entry.is_regular_file()) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            (void)::fsync(fd);
            ::close(fd);
        }
    }
    if (::rename(staging.c_str(), to.c_str()) != 0) {
        code.assign(errno, std::system_category());
        fs::remove_all(staging, code);
        return code;
    }
    syncFolder(to.parent_path());
    fs::remove_all(from, code);
    return {};
}

std::error_code moveEntry(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        syncFolder(to.parent_path());
        return {};
    }
    if (errno == EXDEV) return copyThenRename(from, to);
    return {errno, std::system_category()};
}

class Mover {
public:
    explicit Mover(LayoutMove& report) : report_(report) {}

    // The old folder as one piece: it takes the place of an empty or missing new folder.
    void moveWhole(const fs::path& from, const fs::path& to) {
        if (!hasEntries(from) || from == to) return;
        if (!isEmptyOrMissing(to)) {
            report_.keptBack.push_back(from.string() + ": " + to.string() + " already holds files");
            return;
        }
        std::error_code code;
        fs::create_directories(to.parent_path(), code);
        // rename(2) replaces an empty folder, so the move stays one step.
        if (auto failed = moveEntry(from, to)) {
            report_.keptBack.push_back(from.string() + ": " + failed.message());
            return;
        }
        report_.moved.push_back(to);
        fs::create_directory(from, code);
    }

    // Each entry of the old folder that the new one lacks, except the `skipped` folders.
    void moveEntries(const fs::path& from, const fs::path& to, const std::vector<fs::path>& skipped) {
        if (!hasEntries(from) || from == to) return;
        std::error_code code;
        fs::create_directories(to, code);
        for (const auto& entry : fs::directory_iterator(from, code)) {
            const auto& path = entry.path();
            if (std::find(skipped.begin(), skipped.end(), path) != skipped.end()) continue;
            // A socket belongs to the daemon that made it; a new daemon makes its own.
            if (entry.is_socket()) continue;
            const auto target = to / path.filename();
            if (fs::exists(fs::symlink_status(target, code))) {
                report_.keptBack.push_back(path.string() + ": " + target.string() + " already exists");
                continue;
            }
            if (auto failed = moveEntry(path, target)) {
                report_.keptBack.push_back(path.string() + ": " + failed.message());
                continue;
            }
            report_.moved.push_back(target);
        }
    }

private:
    LayoutMove& report_;
};

}  // namespace

LayoutMove moveEarlierLayouts(const HomeLayout& current, const std::vector<HomeLayout>& earlier,
                              const std::optional<fs::path>& engineStateOverride) {
    LayoutMove report;
    bool anything = false;
    for (const auto& old : earlier) {
        anything = anything || hasEntries(old.support) || hasEntries(old.logs) || hasEntries(old.engineState) ||
                   (old.userConfig != current.userConfig && hasEntries(old.userConfig));
    }
    if (!anything) return report;

    // The new support folder's lock makes a second program wait until the first has moved all.
    if (auto made = VardexPaths::ensureDirectory(current.support); !made) {
        report.keptBack.push_back(made.error().description());
        return report;
    }
    const int lock = ::open(current.support.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (lock >= 0 && ::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
    }
    Mover mover(report);
    for (const auto& old : earlier) {
        if (!engineStateOverride) mover.moveWhole(old.engineState, current.engineState);
        const std::vector<fs::path> nested{old.engineState, old.support, old.logs, old.userConfig};
        mover.moveEntries(old.support, current.support, nested);
        mover.moveEntries(old.logs, current.logs, nested);
        mover.moveEntries(old.userConfig, current.userConfig, nested);
    }
    if (lock >= 0) ::close(lock);
    return report;
}

LayoutMove moveEarlierLayoutsOfThisHome() {
    const auto environment = VardexPaths::layoutEnvironment();
    std::optional<fs::path> stateOverride;
    if (auto state = VardexPaths::env("VARDEX_STATE_DIR")) stateOverride = *state;
    return moveEarlierLayouts(platformLayout(environment), earlierLayouts(environment), stateOverride);
}

}  // namespace vardex
