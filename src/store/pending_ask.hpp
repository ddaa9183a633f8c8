#pragma once

#include "activity/timestamp.hpp"
#include "protocol/approval.hpp"

namespace vardex {

// A question waiting for the user; answered "deny" by "timeout" once `deadline` has passed.
struct PendingAsk {
    ApprovalRequest request;
    TimePoint deadline;

    friend bool operator==(const PendingAsk&, const PendingAsk&) = default;
};

}  // namespace vardex
