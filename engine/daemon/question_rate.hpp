#pragma once

#include <sys/types.h>

#include <chrono>
#include <compare>
#include <map>
#include <optional>

#include "daemon/daemon_limits.hpp"
#include "daemon/token_bucket.hpp"

namespace vardex::engine {

// A process on the other end of a connection, as the kernel named it when it connected.
struct PeerKey {
    uid_t uid = 0;
    pid_t pid = 0;
    friend auto operator<=>(const PeerKey&, const PeerKey&) = default;
};

// How many questions reach the user: a bucket over all peers and one per peer. A question
// passes only when both have room, and only then counts against both, so one peer spending
// its own share leaves the common one to the others.
class QuestionRate {
public:
    using Clock = TokenBucket::Clock;

    QuestionRate(const DaemonLimits& limits, Clock::time_point now);

    // `peer` is absent for the app, which is held to the common bucket only.
    bool admit(const std::optional<PeerKey>& peer, Clock::time_point now);
    // Peers whose bucket is full again are forgotten; this keeps the map as small as the peers
    // that asked lately.
    std::size_t peersRemembered() const { return perPeer_.size(); }

private:
    std::size_t burstPerPeer_;
    std::chrono::milliseconds intervalPerPeer_;
    TokenBucket all_;
    std::map<PeerKey, TokenBucket> perPeer_;
};

}  // namespace vardex::engine
