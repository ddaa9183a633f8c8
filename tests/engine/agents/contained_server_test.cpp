#include <gtest/gtest.h>

#include <filesystem>

#include "agents/contained_server.hpp"
#include "engine/row_name.hpp"
#include "support/temp_folder.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

struct ServerFilesCase {
    const char* name;
    std::vector<std::string> command;
    std::vector<std::string> files;  // below the working folder, or absolute
};

class ServerFiles : public ::testing::TestWithParam<ServerFilesCase> {};

// The working folder holds bin/srv (runnable), server.py and lib/x.js; the search path is its
// bin folder, then /usr/bin.
TEST_P(ServerFiles, AreTheFilesTheServerRunsFrom) {
    testing::TempFolder folder;
    for (const auto* file : {"bin/srv", "server.py", "lib/x.js"}) testing::writeFile(folder / file, "x");
    fs::permissions(folder / "bin/srv", fs::perms::owner_exec, fs::perm_options::add);
    std::vector<fs::path> expected;
    for (const auto& file : GetParam().files) expected.push_back(file.starts_with("/") ? fs::path(file) : folder / file);
    EXPECT_EQ(serverFiles(GetParam().command, (folder / "bin").string() + ":/usr/bin", folder.path()), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, ServerFiles, ::testing::Values(
    ServerFilesCase{"program_from_the_search_path", {"srv", "--port", "8"}, {"bin/srv"}},
    ServerFilesCase{"script_beside_the_working_folder", {"python3", "server.py", "missing.py"}, {"/usr/bin/python3", "server.py"}},
    ServerFilesCase{"program_with_a_folder", {"./bin/srv", "lib/../lib/x.js"}, {"bin/srv", "lib/x.js"}},
    ServerFilesCase{"options_are_not_files", {"srv", "--config=server.py", "-server.py"}, {"bin/srv"}},
    ServerFilesCase{"unknown_program", {"no-such-server", "server.py"}, {"server.py"}}), testing::byName);

}  // namespace
}  // namespace vardex::engine
