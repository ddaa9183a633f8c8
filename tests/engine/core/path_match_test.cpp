#include <gtest/gtest.h>

#include "core/path_match.hpp"
#include "core/secret_paths.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

constexpr const char* home = "/home/ana";

struct SecretCase {
    const char* name;
    const char* path;  // as an agent wrote it, taken in /home/ana/project
    SecretKind kind;
};

class SecretKinds : public ::testing::TestWithParam<SecretCase> {};

TEST_P(SecretKinds, NameWhatThePathCouldRead) {
    const auto path = absolutePath(GetParam().path, home, "/home/ana/project");
    EXPECT_EQ(secretKind(path, home), GetParam().kind) << path;
}

INSTANTIATE_TEST_SUITE_P(Table, SecretKinds, ::testing::Values(
        SecretCase{"star_folder_with_dot", "~/.*/credentials", SecretKind::cloud},
        SecretCase{"star_skips_hidden_folders", "~/*/credentials", SecretKind::none},
        SecretCase{"substituted_user", "/home/$(whoami)/.aws/credentials", SecretKind::cloud},
        SecretCase{"dot_dot", "../.aws/config", SecretKind::cloud},
        SecretCase{"token_in_project", ".npmrc", SecretKind::none},
        SecretCase{"dotenv_in_project", ".env.local", SecretKind::dotenv}), testing::byName);

struct GlobCase {
    const char* pattern;
    const char* text;
    bool matches;
};

class GlobTable : public ::testing::TestWithParam<GlobCase> {};

TEST_P(GlobTable, MatchesLikeTheShell) {
    EXPECT_EQ(globMatch(GetParam().pattern, GetParam().text, true), GetParam().matches)
        << GetParam().pattern << " ~ " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Brackets, GlobTable, ::testing::Values(GlobCase{"/a/id_[re]sa", "/a/id_rsa", true}, GlobCase{"/a/id_[!r]sa", "/a/id_rsa", false},
                      GlobCase{"/a/[a-c]x", "/a/bx", true}, GlobCase{"/a/[a-c]x", "/a/dx", false},
                      GlobCase{"/a/*[0-9]", "/a/key7", true}, GlobCase{"/a[/]b", "/a/b", false},
                      GlobCase{"/a/[x", "/a/[x", true}, GlobCase{"/a/**/[k]ey", "/a/b/c/key", true}), testing::byText<&GlobCase::pattern>);

struct HomeCase {
    const char* path;
    const char* absolute;
};

class HomeForms : public ::testing::TestWithParam<HomeCase> {};

TEST_P(HomeForms, ExpandToTheHomeFolder) {
    EXPECT_EQ(absolutePath(GetParam().path, home, "/home/ana/project"), GetParam().absolute);
}

INSTANTIATE_TEST_SUITE_P(Table, HomeForms, ::testing::Values(HomeCase{"~", "/home/ana"}, HomeCase{"${HOME:?}/x", "/home/ana/x"},
                      HomeCase{"${HOME:-/tmp}", "/home/ana"}, HomeCase{"~ana/.ssh", "/home/ana/.ssh"},
                      HomeCase{"~nosuchuser42/x", "/home/nosuchuser42/x"},
                      HomeCase{"~$USER/x", "/home/ana/project/~$USER/x"}), testing::byText<&HomeCase::path>);

}  // namespace
}  // namespace vardex::engine
