#include "store/slice_revisions.hpp"

namespace vardex {

void SliceRevisions::bump(StoreSlices changed) {
    for (std::size_t index = 0; index < storeSliceCount; ++index) {
        if (changed.contains(static_cast<StoreSlice>(index))) ++counts_[index];
    }
}

StoreSlices DrawnSlices::catchUp(const SliceRevisions& current) {
    const bool first = !drawn_;
    if (first) drawn_.emplace();
    StoreSlices moved;
    for (std::size_t index = 0; index < storeSliceCount; ++index) {
        const auto slice = static_cast<StoreSlice>(index);
        if (!reads_.contains(slice)) continue;
        if (first || (*drawn_)[index] != current.of(slice)) moved = moved | StoreSlices{slice};
        (*drawn_)[index] = current.of(slice);
    }
    return moved;
}

}  // namespace vardex
