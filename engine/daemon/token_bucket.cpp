#include "daemon/token_bucket.hpp"

#include <algorithm>

namespace vardex::engine {

TokenBucket::TokenBucket(std::size_t burst, std::chrono::milliseconds interval, Clock::time_point now)
    : burst_(burst), interval_(std::max(interval, std::chrono::milliseconds(1))), tokens_(burst), filled_(now) {}

std::size_t TokenBucket::tokensAt(Clock::time_point now) const {
    if (tokens_ >= burst_ || now <= filled_) return std::min(tokens_, burst_);
    const auto gained = static_cast<std::size_t>((now - filled_) / interval_);
    return std::min(burst_, tokens_ + gained);
}

bool TokenBucket::take(Clock::time_point now) {
    if (tokens_ >= burst_) {
        // A full bucket gains nothing while it waits: the next token is due an interval after
        // this one is taken.
        filled_ = now;
    } else if (now > filled_) {
        const auto gained = (now - filled_) / interval_;
        tokens_ = std::min(burst_, tokens_ + static_cast<std::size_t>(gained));
        filled_ = tokens_ >= burst_ ? now : filled_ + gained * interval_;
    }
    if (tokens_ == 0) return false;
    --tokens_;
    return true;
}

bool TokenBucket::full(Clock::time_point now) const { return tokensAt(now) >= burst_; }

}  // namespace vardex::engine
