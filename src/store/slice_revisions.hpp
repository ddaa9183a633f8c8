#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "store/store_slices.hpp"

namespace vardex {

// One counter per slice of the store, moved by every publish that names the slice. A screen
// compares them with the ones it last drew from (`DrawnSlices`) instead of redrawing on every
// publish, and a hidden screen catches up by the same comparison when it is shown.
class SliceRevisions {
public:
    void bump(StoreSlices changed);
    std::uint64_t of(StoreSlice slice) const { return counts_[static_cast<std::size_t>(slice)]; }

private:
    std::array<std::uint64_t, storeSliceCount> counts_{};
};

// The revisions a screen last drew from, for the slices it reads.
class DrawnSlices {
public:
    explicit DrawnSlices(StoreSlices reads) : reads_(reads) {}

    // The slices read here that moved since the last call (every one of them on the first),
    // which from now on count as drawn.
    StoreSlices catchUp(const SliceRevisions& current);

private:
    StoreSlices reads_;
    std::optional<std::array<std::uint64_t, storeSliceCount>> drawn_;
};

}  // namespace vardex
