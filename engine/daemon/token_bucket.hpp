#pragma once

#include <chrono>
#include <cstddef>

namespace vardex::engine {

// Lets a burst of `burst` events through at once, then one more per `interval`.
class TokenBucket {
public:
    using Clock = std::chrono::steady_clock;

    TokenBucket(std::size_t burst, std::chrono::milliseconds interval, Clock::time_point now);

    // Whether an event may pass now, and if so counts it.
    bool take(Clock::time_point now);
    // Whether the bucket is back to its whole burst, so forgetting it changes nothing.
    bool full(Clock::time_point now) const;
    bool available(Clock::time_point now) const { return tokensAt(now) > 0; }

private:
    std::size_t tokensAt(Clock::time_point now) const;

    std::size_t burst_;
    std::chrono::milliseconds interval_;
    std::size_t tokens_;
    // When the last token counted in `tokens_` came in.
    Clock::time_point filled_;
};

}  // namespace vardex::engine
