#include <gtest/gtest.h>

#include "daemon/agent_action.hpp"
#include "daemon/approval_memory.hpp"
#include "support/temp_folder.hpp"
#include "engine/row_name.hpp"

namespace vardex::testing {
namespace {

using engine::ApprovalMemory;

struct Asked {
    std::string session;
    std::string cwd;
    std::string command;
    std::string rule;
};

Action actionOf(const Asked& asked) {
    return engine::makeShellAction({AgentKind::claude, asked.session, asked.cwd, false}, asked.command);
}

Decision decisionOf(const Asked& asked) {
    return {Outcome::ask, asked.rule, {asked.rule}, Severity::high, {}, {}, {}};
}

struct SessionCase {
    const char* name;
    Asked granted;  // answered "allow for this session"
    Asked later;
    bool coveredLater;
};

class SessionGrant : public ::testing::TestWithParam<SessionCase> {};

// A session answer lets the very same action through again, and nothing that merely shares its
// rule, its session or its text.
TEST_P(SessionGrant, CoversOnlyTheSameActionInTheSameFolder) {
    TempFolder folder;
    ApprovalMemory memory(folder / "always-allow.json");
    const auto& row = GetParam();
    ASSERT_TRUE(memory.remember(actionOf(row.granted), decisionOf(row.granted), ApprovalVerdict::allowSession));

    const auto later = memory.remembered(actionOf(row.later), decisionOf(row.later));
    EXPECT_EQ(later.has_value(), row.coveredLater);
    EXPECT_FALSE(std::filesystem::exists(memory.file())) << "a session answer is not kept on disk";
}

const Asked push{"s1", "/home/u/app", "git push origin main", "remote.git_push"};

INSTANTIATE_TEST_SUITE_P(Table, SessionGrant, ::testing::Values(
        SessionCase{"same_action", push, push, true},
        SessionCase{"same_rule_other_command", push, {"s1", "/home/u/app", "git push origin dev", "remote.git_push"}, false},
        SessionCase{"same_command_other_folder", push, {"s1", "/home/u/other", "git push origin main", "remote.git_push"}, false},
        SessionCase{"other_session", push, {"s2", "/home/u/app", "git push origin main", "remote.git_push"}, false},
        SessionCase{"no_session_id", {"", "/w", "git push", "remote.git_push"}, {"", "/w", "git push", "remote.git_push"}, false},
        SessionCase{"sudo_never", {"s1", "/w", "sudo ls", "priv.sudo"}, {"s1", "/w", "sudo ls", "priv.sudo"}, false},
        SessionCase{"privilege_program_under_another_rule", {"s1", "/w", "echo x | doas tee /etc/motd", "system.write"}, {"s1", "/w", "echo x | doas tee /etc/motd", "system.write"}, false},
        SessionCase{"word_that_only_contains_su", {"s1", "/w", "make suite", "build.make"}, {"s1", "/w", "make suite", "build.make"}, true}), byName);

}  // namespace
}  // namespace vardex::testing
