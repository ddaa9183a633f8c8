#include "bridge/home_migration.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "core/audit_log.hpp"
#include "engine/row_name.hpp"
#include "support/temp_home.hpp"

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

AuditRecord entry(int n) {
    return {"2026-12-06T09:15:0" + std::to_string(n) + "Z", AgentKind::claude, "old", {{"kind", "shell"}, {"raw", "ls"}},
            Outcome::allow, std::nullopt, 0.0, std::nullopt, std::nullopt};
}

fs::path audit(const HomeLayout& layout) { return layout.engineState / "audit.jsonl"; }

// A folder that is still there, with no file left anywhere below it.
bool emptyFolder(const fs::path& folder) {
    if (!fs::is_directory(folder)) return false;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) return false;
    }
    return true;
}

// A home an earlier build used: its settings, the app's event log and an activity log of three
// entries with anchor and key, all in the macOS folders.
class EarlierHome : public ::testing::Test {
protected:
    void SetUp() override {
        if (earlierLayouts(VardexPaths::layoutEnvironment()).empty()) GTEST_SKIP() << "nothing came before this layout";
        old_ = earlierLayouts(VardexPaths::layoutEnvironment()).front();
        testing::writeFile(old_.support / "menubar-settings.json", R"({"startAtLogin":false})");
        testing::writeFile(old_.logs / "vardex-bar.jsonl", "{\"event\":\"start\"}\n");
        for (int n = 1; n <= 3; ++n) ASSERT_TRUE(appendAuditRecord(old_.engineState / "audit.jsonl", entry(n)).ok());
    }

    testing::TempHome home_;
    HomeLayout old_;
};

TEST_F(EarlierHome, TheEngineMovesEverythingOnceAndTheLogStillVerifies) {
    const auto verify = VardexCli::runBinary(VARDEX_ENGINE_EXE, {"log", "verify"}).value();
    EXPECT_EQ(verify.exitCode, 0) << verify.combined();
    EXPECT_NE(verify.stdout.find("intact: 3 entries"), std::string::npos) << verify.stdout;

    const auto now = VardexPaths::homeLayout();
    EXPECT_EQ(testing::readFile(now.support / "menubar-settings.json"), R"({"startAtLogin":false})");
    EXPECT_EQ(testing::readFile(now.logs / "vardex-bar.jsonl"), "{\"event\":\"start\"}\n");
    for (const auto& file : {audit(now), anchorPathFor(audit(now)), keyPathFor(audit(now))}) EXPECT_TRUE(fs::exists(file)) << file;
    struct stat key {};
    ASSERT_EQ(::stat(keyPathFor(audit(now)).c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);
    for (const auto& folder : {old_.support, old_.logs, old_.engineState}) EXPECT_TRUE(emptyFolder(folder)) << folder;

    const auto again = moveEarlierLayoutsOfThisHome();
    EXPECT_TRUE(again.moved.empty() && again.keptBack.empty());
}

// What is already in the new place and whether the log stays put; what then moves.
struct MoveCase {
    const char* name;
    std::function<void(const HomeLayout& now)> before;
    bool stateOverride;
    bool logMoves, settingsMove;
    std::size_t keptBack;
};

class MoveInto : public EarlierHome, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(MoveInto, NeverOverwritesAndKeepsTheLogWhole) {
    const auto& c = GetParam();
    const auto now = VardexPaths::homeLayout();
    c.before(now);
    const auto oldLog = testing::readFile(audit(old_));
    const auto moved = moveEarlierLayouts(now, {old_}, c.stateOverride ? std::optional<fs::path>("/srv/state") : std::nullopt);
    EXPECT_EQ(moved.keptBack.size(), c.keptBack) << ::testing::PrintToString(moved.keptBack);
    // The log and its anchor are together, in one place or the other.
    const auto& logHome = c.logMoves ? now : old_;
    EXPECT_EQ(testing::readFile(audit(logHome)), oldLog);
    EXPECT_TRUE(fs::exists(anchorPathFor(audit(logHome))));
    EXPECT_TRUE(verifyAuditLog(audit(logHome))->intact());
    EXPECT_EQ(fs::exists(old_.support / "menubar-settings.json"), !c.settingsMove);
}

INSTANTIATE_TEST_SUITE_P(Table, MoveInto, ::testing::Values(
        MoveCase{"IntoEmptyFoldersMadeAlready", [](const HomeLayout& now) { fs::create_directories(now.engineState); fs::create_directories(now.support); }, false, true, true, 0},
        MoveCase{"NotOverANewerLog", [](const HomeLayout& now) { testing::writeFile(audit(now), ""); }, false, false, true, 1},
        MoveCase{"NotOverNewerSettings", [](const HomeLayout& now) { testing::writeFile(now.support / "menubar-settings.json", "{}"); }, false, true, false, 1},
        MoveCase{"LogStaysWhereTheStateSwitchPoints", [](const HomeLayout&) {}, true, false, true, 0}), testing::byName);

// Across file systems a rename fails; the folder is copied whole and renamed into place instead.
TEST_F(EarlierHome, MovesTheLogAcrossFileSystems) {
    struct stat tmp {}, shm {};
    if (::stat(old_.engineState.c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 || tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system to move to";
    }
    const fs::path elsewhere = "/dev/shm/vardex-move-" + std::to_string(::getpid());
    testing::ScopedEnv state("XDG_STATE_HOME", elsewhere.string());
    const auto moved = moveEarlierLayoutsOfThisHome();
    const auto now = VardexPaths::homeLayout();
    EXPECT_TRUE(moved.keptBack.empty()) << ::testing::PrintToString(moved.keptBack);
    EXPECT_TRUE(verifyAuditLog(audit(now))->intact() && verifyAuditLog(audit(now))->entries == 3u);
    EXPECT_TRUE(emptyFolder(old_.engineState));
    fs::remove_all(elsewhere);
}

}  // namespace
}  // namespace vardex::engine
