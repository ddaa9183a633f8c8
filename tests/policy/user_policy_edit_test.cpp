#include <gtest/gtest.h>

#include "policy/rule_ids.hpp"
#include "policy/user_policy_file.hpp"
#include "support/temp_folder.hpp"

namespace vardex {
namespace {

using Kind = UserRule::MatchKind;

std::vector<std::string> ids(const std::vector<UserRule>& rules) {
    std::vector<std::string> out;
    for (const UserRule& rule : rules) out.push_back(rule.id);
    return out;
}

// A folder rule's description and values are in the golden policy file.
TEST(UserRuleBuilders, DisplayNamePrefersDescriptionThenValueThenId) {
    EXPECT_EQ(UserRule::custom("r", "", "high", "deny", Kind::raw, "rm").displayName(), "rm");
    UserRule bare = UserRule::custom("r", "", "high", "deny", Kind::raw, "");
    EXPECT_EQ(bare.displayName(), "");
    bare.values.clear();
    bare.description = "";
    EXPECT_EQ(bare.displayName(), "r");
}

// Relative folders are taken against the working directory, so each test gets its own.
class WorkingDirectory : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(folder_.path()); }
    void TearDown() override { std::filesystem::current_path(previous_); }

    std::filesystem::path previous_ = std::filesystem::current_path();
    testing::TempFolder folder_;
};

TEST_F(WorkingDirectory, AddFolderMakesTheTypedPathAbsolute) {
    const std::string cwd = std::filesystem::current_path().string();
    const std::pair<const char*, std::string> cases[] = {{"  /srv/data/  \n", "/srv/data"}, {"/srv/./a/../data//", "/srv/data"},
                                                         {"projects/../notes/", cwd + "/notes"}, {"~/secrets", cwd + "/~/secrets"},
                                                         {"/..", ""}};
    for (const auto& [typed, folder] : cases) {
        UserPolicyFile policy;
        policy.addFolder(typed);
        ASSERT_EQ(policy.rules.size(), 1u) << typed;
        EXPECT_EQ(policy.rules.front(), UserRule::folder("user.protected.folder." + slug(folder.empty() ? "/" : folder), folder))
            << typed;
    }
}

TEST(UserPolicyEdits, AddingTheSameFolderOrSiteAgainKeepsOneRuleAtTheEndAndBlanksAddNothing) {
    UserPolicyFile policy;
    policy.addFolder(" \t\n");
    policy.addSite("https://www./");
    EXPECT_EQ(policy, UserPolicyFile::empty);
    policy.addFolder("/srv/data");
    policy.addSite("example.com");
    policy.addFolder("/srv/data/");
    EXPECT_EQ(ids(policy.rules), (std::vector<std::string>{"user.protected.site.example.com", "user.protected.folder." + slug("/srv/data")}));
    policy.addSite("HTTPS://www.example.com/login");
    ASSERT_EQ(policy.rules.size(), 2u);
    EXPECT_EQ(policy.rules.back(), UserRule::site("user.protected.site.example.com", "example.com"));
}

TEST(UserPolicyEdits, RemovingARuleOrAnExceptionRemovesEveryCopy) {
    UserPolicyFile policy = UserPolicyFile::parse("disable:\n  - x\n  - y\n  - x\nrules:\n  - id: a\n  - id: b\n  - id: a\n");
    policy.removeRule("a");
    EXPECT_EQ(ids(policy.rules), std::vector<std::string>{"b"});
    policy.setDisabled("y", true);
    policy.setDisabled("z", true);
    policy.setDisabled("z", true);
    EXPECT_EQ(policy.disable, (std::vector<std::string>{"x", "y", "x", "z"}));
    policy.setDisabled("x", false);
    EXPECT_EQ(policy.disable, (std::vector<std::string>{"y", "z"}));
}

TEST(UserPolicyViews, SplitRulesByPrefixInFileOrder) {
    const UserPolicyFile policy = UserPolicyFile::parse(
        "rules:\n  - id: user.protected.site.a.com\n  - id: mine\n  - id: user.protected.folder.x.1\n"
        "  - id: user.protected.sitex\n  - id: user.protected.site.b.com\n  - id: user.protected.folder.y.2\n");
    EXPECT_EQ(ids(policy.folders()), (std::vector<std::string>{"user.protected.folder.x.1", "user.protected.folder.y.2"}));
    EXPECT_EQ(ids(policy.sites()), (std::vector<std::string>{"user.protected.site.a.com", "user.protected.site.b.com"}));
    EXPECT_EQ(ids(policy.custom()), (std::vector<std::string>{"mine", "user.protected.sitex"}));
}

}  // namespace
}  // namespace vardex
