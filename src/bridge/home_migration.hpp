#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bridge/home_layout.hpp"

namespace vardex {

// What a move from earlier layouts did: the files and folders that now live in the new layout,
// and what was left where it was (with why).
struct LayoutMove {
    std::vector<std::filesystem::path> moved;
    std::vector<std::string> keptBack;
};

// Moves what earlier builds left in `earlier` into `current`. Each folder's entries are renamed
// into the new folder, never over one that is already there, so running it again finds nothing
// to do; the old folders stay, empty. The engine's state folder moves whole, in one rename when
// both lie on one file system, so the activity log and its anchor always arrive together and the
// chain still verifies. `engineStateOverride` (VARDEX_STATE_DIR) keeps the log where it is. Two
// programs starting at once take turns.
LayoutMove moveEarlierLayouts(const HomeLayout& current, const std::vector<HomeLayout>& earlier,
                              const std::optional<std::filesystem::path>& engineStateOverride);

// `moveEarlierLayouts` for this platform and the current environment; both the app and the
// engine call it before they touch their files.
LayoutMove moveEarlierLayoutsOfThisHome();

}  // namespace vardex
