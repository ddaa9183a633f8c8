#include <gtest/gtest.h>

#include "activity/timestamp.hpp"
#include "bridge/vardex_paths.hpp"
#include "support/fake_engine_store.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

constexpr std::string_view onDisk = R"(version: 1
rules:
  - id: "my.rule"
    severity: medium
    decision: deny
    match:
      program:
        - "terraform"
)";

// The quiet engine, with `replay` answering as the case says.
std::string engineReplaying(std::string_view replay) {
    return "if [ \"$1\" = replay ]; then\n" + std::string(replay) + "\nfi\n" + std::string(quietEngine);
}

std::string fileText() { return readFile(VardexPaths::userPolicyURL()).value_or(""); }

struct PreviewCase {
    const char* name;
    std::string_view replay;
    std::function<void(VardexStore&)> propose;
    bool confirm;
    std::string sentence;
    std::string savedText;
};

class PolicyPreviewFlow : public FakeEngineStoreTest, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PolicyPreviewFlow, ShowsTheReplayThenSavesOnlyWhenConfirmed) {
    const auto& c = GetParam();
    harness.writeEngine(engineReplaying(c.replay));
    writeFile(VardexPaths::userPolicyURL(), onDisk);
    auto& store = harness.make();

    c.propose(store);
    ASSERT_TRUE(store.policyPreview);
    EXPECT_TRUE(store.policyPreview->running);
    // A confirmation before the replay has answered is not taken.
    store.confirmPolicyPreview();
    ASSERT_TRUE(store.policyPreview);
    harness.queue.runPending();
    ASSERT_TRUE(store.policyPreview);
    EXPECT_FALSE(store.policyPreview->running);
    EXPECT_EQ(store.policyPreview->sentence(), c.sentence);
    EXPECT_EQ(callsStartingWith("replay").size(), 1u);
    EXPECT_EQ(fileText(), onDisk);

    if (c.confirm) {
        store.confirmPolicyPreview();
    } else {
        store.cancelPolicyPreview();
    }
    harness.queue.runPending();

    EXPECT_FALSE(store.policyPreview);
    EXPECT_EQ(fileText(), c.savedText);
    EXPECT_EQ(store.userPolicy, UserPolicyFile::parse(c.savedText));
}

constexpr std::string_view blocksOne =
    R"(echo '{"checked":8,"differences":[{"summary":"curl https://paste.example","before":"allow","after":"deny"}]}')";
const auto addSite = [](VardexStore& store) {
    store.proposePolicyEdit([](UserPolicyFile& policy) { policy.addSite("paste.example"); });
};
std::string onDiskAfter(const std::function<void(UserPolicyFile&)>& change) {
    auto policy = UserPolicyFile::parse(onDisk);
    change(policy);
    return policy.yaml();
}

INSTANTIATE_TEST_SUITE_P(
    Previews, PolicyPreviewFlow,
    ::testing::Values(
        PreviewCase{"CancelledSiteLeavesThePolicy", blocksOne, addSite, false,
                    "Over the last 7 days this would have blocked 1 action that was allowed: curl https://paste.example.",
                    std::string(onDisk)},
        PreviewCase{"NothingDiffersAndRemovalIsSaved", R"(echo '{"checked":3,"differences":[]}')",
                    [](VardexStore& store) {
                        store.proposePolicyEdit([](UserPolicyFile& policy) { policy.removeRule("my.rule"); });
                    },
                    true, "Over the last 7 days this would have changed nothing.",
                    onDiskAfter([](UserPolicyFile& policy) { policy.removeRule("my.rule"); })},
        // The engine's failure is said, and the user may still go ahead.
        PreviewCase{"EngineFailureStillConfirms", "echo 'no activity log here' >&2; exit 1",
                    [](VardexStore& store) {
                        store.proposePolicyEdit([](UserPolicyFile& policy) { policy.setDisabled("net.upload", true); });
                    },
                    true, "no activity log here",
                    onDiskAfter([](UserPolicyFile& policy) { policy.setDisabled("net.upload", true); })}),
    caseName);

// A replay that ends after its preview was replaced does not speak for the new one.
TEST_F(FakeEngineStoreTest, AReplacedPreviewKeepsItsOwnReplay) {
    harness.writeEngine(engineReplaying(blocksOne));
    HeldBackground held;
    auto store = makeWith(held);
    store->proposePolicyEdit([](UserPolicyFile& policy) { policy.addSite("one.example"); });
    store->proposePolicyEdit([](UserPolicyFile& policy) { policy.addSite("two.example"); });
    ASSERT_EQ(held.held.size(), 2u);
    held.held.front()();
    harness.queue.runPending();
    EXPECT_TRUE(store->policyPreview->running);
    held.held.back()();
    harness.queue.runPending();
    EXPECT_FALSE(store->policyPreview->running);
    store->confirmPolicyPreview();
    const auto sites = store->userPolicy.sites();
    ASSERT_EQ(sites.size(), 1u);
    EXPECT_EQ(sites.front().id, std::string(UserRule::sitePrefix) + "two.example");
}

}  // namespace
}  // namespace vardex::testing

namespace vardex::testing {
namespace {

struct AskedCase {
    const char* name;
    std::vector<AuditLogEntry> entries;
    long long asked;
};

AuditLogEntry logged(std::string ts, std::string summary, Outcome decision = Outcome::ask) {
    AuditLogEntry entry;
    entry.ts = std::move(ts);
    entry.actionSummary = std::move(summary);
    entry.decision = decision;
    return entry;
}

class AskedThisWeek : public ::testing::TestWithParam<AskedCase> {};

// Only questions about this exact action within the last 7 days count.
TEST_P(AskedThisWeek, CountsTheSameActionAskedAbout) {
    StoreHarness harness;
    auto& store = harness.make();
    store.now = *readTimestamp("2026-12-07T12:00:00Z");
    store.auditEntries = GetParam().entries;
    ApprovalRequest request;
    request.actionSummary = "git push --force";
    EXPECT_EQ(store.askedThisWeek(request), GetParam().asked);
}

INSTANTIATE_TEST_SUITE_P(
    Logs, AskedThisWeek,
    ::testing::Values(AskedCase{"SameActionAsked",
                                {logged("2026-12-07T11:00:00Z", "git push --force"), logged("2026-12-01T09:00:00Z", "git push --force")},
                                2},
                      AskedCase{"OlderThanAWeek", {logged("2026-11-30T11:59:59Z", "git push --force")}, 0},
                      AskedCase{"OtherActionOrOutcome",
                                {logged("2026-12-07T11:00:00Z", "git push"), logged("2026-12-07T11:00:00Z", "git push --force", Outcome::allow)},
                                0},
                      AskedCase{"UnreadableTime", {logged("yesterday", "git push --force")}, 0}),
    caseName);

}  // namespace
}  // namespace vardex::testing
