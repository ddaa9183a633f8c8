#include "service/restart_pacing.hpp"

#include <algorithm>

namespace vardex {

void RestartPacing::started(Clock::time_point now) {
    startedAt_ = now;
    endJudged_ = false;
}

bool RestartPacing::mayRestart(Clock::time_point now) {
    if (!endJudged_) {
        // Judged once per end, when it is first seen: how long the daemon ran sets the pause.
        endJudged_ = true;
        const bool ranWell = now - startedAt_ >= longestPause;
        pause_ = pause_.count() == 0 || ranWell ? firstPause : std::min(pause_ * 2, longestPause);
    }
    return now >= startedAt_ + pause_;
}

}  // namespace vardex
