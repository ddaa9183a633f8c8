#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "agents/replaceable_file.hpp"
#include "support/temp_folder.hpp"
#include "engine/row_name.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

constexpr uid_t someoneElse = 65534;

struct ReplaceCase {
    const char* name;
    // Lays out "app" inside the folder (mode 0755, owned by this process) and returns the path
    // to ask about.
    std::function<fs::path(const fs::path& folder)> layout;
    uid_t asker;  // 0 stands for this process's own user
    bool replaceable;
};

fs::path appIn(const fs::path& folder, mode_t mode) {
    testing::writeFile(folder / "app", "#!/bin/sh\n");
    ::chmod((folder / "app").c_str(), mode);
    return folder / "app";
}

class Replaceable : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(Replaceable, WhoCouldPutAnotherFileInItsPlace) {
    testing::TempFolder scratch;
    const auto folder = scratch / "inner";
    fs::create_directories(folder);
    ::chmod(scratch.path().c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    // The temporary folder's own parents (/tmp is sticky) keep others out.
    const auto path = GetParam().layout(folder);
    const uid_t asker = GetParam().asker == 0 ? ::geteuid() : GetParam().asker;
    EXPECT_EQ(replaceableBy(path, asker), GetParam().replaceable) << path;
}

INSTANTIATE_TEST_SUITE_P(Layouts, Replaceable, ::testing::Values(
        ReplaceCase{"own_file", [](const fs::path& f) { return appIn(f, 0755); }, 0, true},
        ReplaceCase{"system_program_for_another_user", [](const fs::path&) { return fs::path("/bin/sh"); }, someoneElse, false},
        ReplaceCase{"someone_elses_file_in_someone_elses_folder", [](const fs::path& f) { return appIn(f, 0755); }, someoneElse, false},
        ReplaceCase{"world_writable_file", [](const fs::path& f) { return appIn(f, 0777); }, someoneElse, true},
        ReplaceCase{"group_writable_folder", [](const fs::path& f) { ::chmod(f.c_str(), 0775); return appIn(f, 0755); }, someoneElse, true},
        ReplaceCase{"sticky_shared_folder", [](const fs::path& f) { ::chmod(f.c_str(), 01777); return appIn(f, 0755); }, someoneElse, false},
        ReplaceCase{"link_in_a_writable_folder", [](const fs::path& f) { fs::create_directories(f / "open"); ::chmod((f / "open").c_str(), 0777); fs::create_symlink("/bin/sh", f / "open/app"); return f / "open/app"; }, someoneElse, true},
        ReplaceCase{"missing", [](const fs::path& f) { return f / "gone"; }, someoneElse, true}), testing::byName);

}  // namespace
}  // namespace vardex::engine
