#include <gtest/gtest.h>

#include <filesystem>

#include "engine/row_name.hpp"
#include "sandbox/real_paths.hpp"
#include "support/temp_folder.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// Links of every sort: absolute, relative, up and out, in a loop and dangling.
class RealPathsTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        folder_ = new testing::TempFolder;
        const auto& root = folder_->path();
        testing::writeFile(root / "a/b/file", "x");
        fs::create_directories(root / "deep");
        fs::create_directory_symlink(root / "a", root / "to_a");
        fs::create_directory_symlink("..", root / "a/up");
        fs::create_directory_symlink("../a/b", root / "deep/to_b");
        fs::create_symlink("b/file", root / "a/to_file");
        fs::create_symlink("loop2", root / "loop1");
        fs::create_symlink("loop1", root / "loop2");
        fs::create_symlink("missing", root / "dangling");
    }
    static void TearDownTestSuite() { delete folder_; }

    static testing::TempFolder* folder_;
};

testing::TempFolder* RealPathsTest::folder_ = nullptr;

// The standard library's answer is the reference; asking every row first makes each answer
// come from what was remembered as well as from the file system.
TEST_P(RealPathsTest, AnswerAsTheFileSystemDoes) {
    const auto path = folder_->path() / GetParam();
    RealPaths paths;
    for (const auto* row : {"to_a/b", "deep/to_b/..", "a/up/a/to_file", "loop1/x", "a/missing/../b"}) {
        paths.find(folder_->path() / row);
    }
    std::error_code code;
    const bool exists = fs::exists(path, code);
    const auto found = paths.find(path);
    ASSERT_EQ(found.has_value(), exists);
    if (found) {
        EXPECT_EQ(found->path, fs::canonical(path));
        EXPECT_EQ(found->folder, fs::is_directory(path));
    }
    // A loop of links leaves the path as written.
    const auto weakly = fs::weakly_canonical(path, code);
    EXPECT_EQ(paths.real(path), code ? path.lexically_normal() : weakly);
}

INSTANTIATE_TEST_SUITE_P(Table, RealPathsTest, ::testing::Values(
    "a/b/file", "to_a/b", "to_a/b/", "./a/./b", "a/up/a/up/to_a/b", "deep/to_b/..", "deep/to_b/../b/file",
    "a/to_file", "a/to_file/x", "loop1", "loop1/x", "dangling", "dangling/x", "a/b/file/x", "a/missing/../b",
    "missing/x/y"),
    [](const auto& row) { return testing::rowName(row.param, row.index); });

}  // namespace
}  // namespace vardex::engine
