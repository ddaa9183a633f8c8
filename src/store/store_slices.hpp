#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace vardex {

// The parts of the store's state a screen follows on its own. A publish names the slices it
// changed, so the once-a-second clock does not look to a screen like a change of everything.
enum class StoreSlice : std::uint8_t {
    clock,      // `now`: countdowns, relative times, which day is "today"
    approvals,  // the questions waiting for an answer
    activity,   // the activity log read from disk, the feed, hidden entries, the log's filters
    engine,     // the connection, the health report, agents, the protection service and its errors
    policy,     // the user policy, the rules catalogue, policy saves
    screens,    // navigation, confirmations, messages, settings and the other busy flags
};

inline constexpr std::size_t storeSliceCount = 6;

class StoreSlices {
public:
    constexpr StoreSlices() = default;
    constexpr StoreSlices(std::initializer_list<StoreSlice> slices) {
        for (const auto slice : slices) bits_ |= bit(slice);
    }
    static constexpr StoreSlices all() {
        StoreSlices every;
        every.bits_ = (1u << storeSliceCount) - 1;
        return every;
    }

    constexpr bool contains(StoreSlice slice) const { return (bits_ & bit(slice)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr StoreSlices without(StoreSlice slice) const {
        StoreSlices rest = *this;
        rest.bits_ &= ~bit(slice);
        return rest;
    }
    friend constexpr StoreSlices operator|(StoreSlices a, StoreSlices b) {
        a.bits_ |= b.bits_;
        return a;
    }
    friend constexpr StoreSlices operator&(StoreSlices a, StoreSlices b) {
        a.bits_ &= b.bits_;
        return a;
    }
    friend constexpr bool operator==(StoreSlices, StoreSlices) = default;

private:
    static constexpr std::uint32_t bit(StoreSlice slice) { return 1u << static_cast<unsigned>(slice); }

    std::uint32_t bits_ = 0;
};

}  // namespace vardex
