#pragma once

#include <chrono>

namespace vardex {

// When a daemon that keeps ending may be started again. Starts follow each other a second apart
// at first, then twice as far apart each time, up to a minute, so a daemon that fails at every
// start neither spins nor floods its log. A daemon that ran for a minute before it ended was
// started well: the next start may follow a second after its last one again.
class RestartPacing {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration firstPause = std::chrono::seconds(1);
    static constexpr Clock::duration longestPause = std::chrono::seconds(60);

    // The daemon was started at `now`.
    void started(Clock::time_point now);
    // The daemon is found not running at `now` (asked again and again while it stays down):
    // whether it may be started again.
    bool mayRestart(Clock::time_point now);

private:
    Clock::time_point startedAt_{};
    bool endJudged_ = false;
    Clock::duration pause_{0};
};

}  // namespace vardex
