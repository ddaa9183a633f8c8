#include "daemon/question_rate.hpp"

namespace vardex::engine {

QuestionRate::QuestionRate(const DaemonLimits& limits, Clock::time_point now)
    : burstPerPeer_(limits.questionBurstPerPeer),
      intervalPerPeer_(limits.questionIntervalPerPeer),
      all_(limits.questionBurst, limits.questionInterval, now) {}

bool QuestionRate::admit(const std::optional<PeerKey>& peer, Clock::time_point now) {
    std::erase_if(perPeer_, [&](const auto& entry) { return entry.second.full(now); });
    if (!all_.available(now)) return false;
    if (!peer) return all_.take(now);
    auto own = perPeer_.try_emplace(*peer, burstPerPeer_, intervalPerPeer_, now).first;
    if (!own->second.available(now)) return false;
    own->second.take(now);
    return all_.take(now);
}

}  // namespace vardex::engine
