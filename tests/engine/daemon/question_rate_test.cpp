#include <gtest/gtest.h>

#include "daemon/question_rate.hpp"
#include "support/case_name.hpp"

namespace vardex::testing {
namespace {

using engine::PeerKey;
using engine::QuestionRate;
using std::chrono::milliseconds;

struct Ask {
    int peer;  // 0 stands for the app, which has no share of its own
    int atMs;
    bool passes;
};

struct RateCase {
    const char* name;
    std::vector<Ask> asks;
};

class QuestionsToTheUser : public ::testing::TestWithParam<RateCase> {};

// Limits of the table: three at once over all, one more per second; two per peer, one more
// every four seconds.
TEST_P(QuestionsToTheUser, PassAtTheRateOfBothBuckets) {
    engine::DaemonLimits limits;
    limits.questionBurst = 3;
    limits.questionInterval = milliseconds(1000);
    limits.questionBurstPerPeer = 2;
    limits.questionIntervalPerPeer = milliseconds(4000);
    const auto start = QuestionRate::Clock::now();
    QuestionRate rate(limits, start);
    for (std::size_t i = 0; i < GetParam().asks.size(); ++i) {
        const auto& ask = GetParam().asks[i];
        const auto peer = ask.peer == 0 ? std::nullopt : std::optional(PeerKey{1000, ask.peer});
        EXPECT_EQ(rate.admit(peer, start + milliseconds(ask.atMs)), ask.passes) << "ask " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, QuestionsToTheUser, ::testing::Values(
        RateCase{"a_peer_past_its_share_leaves_the_rest_to_others",
                 {{1, 0, true}, {1, 0, true}, {1, 0, false}, {2, 0, true}}},
        RateCase{"the_common_bucket_holds_everyone",
                 {{1, 0, true}, {2, 0, true}, {3, 0, true}, {4, 0, false}, {0, 0, false}, {4, 1000, true}}},
        // A peer refused by the common bucket keeps its own share for later.
        RateCase{"a_refusal_costs_nothing",
                 {{1, 0, true}, {2, 0, true}, {3, 0, true}, {4, 0, false}, {4, 999, false}, {4, 1000, true},
                  {4, 2000, true}}},
        RateCase{"a_peer_refills_one_per_interval",
                 {{1, 0, true}, {1, 0, true}, {1, 3999, false}, {1, 4000, true}, {1, 4001, false}}},
        // A full bucket gains nothing by waiting: after a long pause the burst is the same.
        RateCase{"a_long_pause_does_not_grow_the_burst",
                 {{0, 0, true}, {0, 60000, true}, {0, 60000, true}, {0, 60000, true}, {0, 60000, false}}}), caseName);

TEST(QuestionRateMemory, ForgetsPeersWhoseShareIsWhole) {
    engine::DaemonLimits limits;
    limits.questionBurst = 1000;
    limits.questionIntervalPerPeer = milliseconds(4000);
    const auto start = QuestionRate::Clock::now();
    QuestionRate rate(limits, start);
    for (int pid = 1; pid <= 100; ++pid) rate.admit(PeerKey{1000, pid}, start);
    EXPECT_EQ(rate.peersRemembered(), 100u);
    rate.admit(PeerKey{1000, 1}, start + milliseconds(4000));
    EXPECT_EQ(rate.peersRemembered(), 1u);
}

}  // namespace
}  // namespace vardex::testing
