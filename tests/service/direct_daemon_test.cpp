#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "service/protection_service.hpp"
#include "service/systemd_backend.hpp"
#include "service_home.hpp"

namespace vardex {
namespace {

using testing::ScopedEnv;
namespace fs = std::filesystem;

pid_t recordedPid(const fs::path& pidFile) { return static_cast<pid_t>(std::stol(*testing::readFile(pidFile))); }

// kill(pid, 0) still reaches a child that has ended but was never waited for, so failing
// with ESRCH shows the child was both ended and collected.
bool collected(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

class DirectDaemonTest : public ::testing::Test {
protected:
    ScopedEnv skip{"VARDEX_SKIP_LAUNCHCTL", "1"};
    testing::TempFolder scratch;
    fs::path pidFile = scratch / "daemon.pid";
};

// The daemon never removes a socket file it finds, so the stale one must be cleared first.
TEST_F(DirectDaemonTest, ClearsAStaleSocketStartsTheDaemonAndStopEndsIt) {
    testing::ServiceHome home(testing::pythonDaemon(pidFile));
    testing::writeFile(home.socket(), "");
    ProtectionService protection({"/nonexistent/launchctl", "/nonexistent/systemctl", testing::patientTimeouts(),
                                  ServiceBackendKind::launchctl, {}});
    ASSERT_EQ(protection.backendKind(), ServiceBackendKind::directChild);

    const auto result = protection.start();
    ASSERT_TRUE(result.ok()) << result.error().description();
    EXPECT_TRUE(probeSocket(home.socket(), std::chrono::milliseconds(400)));
    EXPECT_TRUE(fs::exists(serviceDescriptionURL()));
    // A second start finds the daemon running and starts no other.
    const auto pid = recordedPid(pidFile);
    ASSERT_TRUE(protection.start().ok());
    EXPECT_EQ(recordedPid(pidFile), pid);

    protection.stop();
    EXPECT_TRUE(collected(pid));
    EXPECT_FALSE(probeSocket(home.socket(), std::chrono::milliseconds(200)));
}

// The arguments the daemon is started with, after the engine's path.
struct SilentCase { const char *name, *engine; DaemonApp app; const char* arguments; };

class SilentEngineTest : public DirectDaemonTest, public ::testing::WithParamInterface<SilentCase> {};

// The engine notes its pid and command line before it does what the row says, so the command
// line is known even when the engine is slow to start.
TEST_P(SilentEngineTest, NeverAnsweringIsDaemonDidNotStartAndTheDaemonHeardWhichAppAnswers) {
    const auto argumentsFile = scratch / "arguments";
    testing::ServiceHome home("echo $$ > '" + pidFile.string() + "'\nprintf '%s|' \"$@\" > '" + argumentsFile.string() +
                              "'\n" + GetParam().engine);
    std::optional<ProtectionService> protection;
    protection.emplace(ServiceOptions{"/nonexistent", "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl,
                                      {}, GetParam().app});
    const auto result = protection->start();
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().is(ProtectionError::Kind::daemonDidNotStart));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (testing::readFile(argumentsFile).value_or("").empty() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(testing::readFile(argumentsFile), GetParam().arguments);
    const auto pid = recordedPid(pidFile);
    // Going away ends and collects a child still running.
    protection.reset();
    EXPECT_TRUE(collected(pid));
}

INSTANTIATE_TEST_SUITE_P(Engines, SilentEngineTest, ::testing::Values(
        SilentCase{"exitsAtOnce", "exit 1", {}, "daemon|--foreground|"},
        SilentCase{"runsButNeverListens", "exec sleep 30", {"/opt/Vardex Bar/vardex-bar", false},
                   "daemon|--foreground|--app-executable|/opt/Vardex Bar/vardex-bar|"},
        SilentCase{"ignoresTerminate",
                   "exec python3 -c 'import signal, time; signal.signal(signal.SIGTERM, signal.SIG_IGN); time.sleep(30)'",
                   {"/b/vardex-bar", true}, "daemon|--foreground|--app-executable|/b/vardex-bar|--test-approvers|"}), testing::caseName);

// What a daemon that would not start said is kept where a service manager would keep it; a
// log grown past its limit starts afresh rather than growing for ever.
TEST_F(DirectDaemonTest, TheDaemonsOutputIsAppendedToItsLogs) {
    testing::ServiceHome home("echo said\necho 'could not listen' >&2\nexit 1");
    ASSERT_TRUE(VardexPaths::ensureDirectory(VardexPaths::logsDirectory()).ok());
    testing::writeFile(daemonOutputLog(), "earlier\n");
    testing::writeFile(daemonErrorLog(), std::string(2 << 20, 'x'));
    ProtectionService protection({"/nonexistent", "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl, {}});
    ASSERT_FALSE(protection.start().ok());
    EXPECT_EQ(testing::readFile(daemonOutputLog()), "earlier\nsaid\n");
    EXPECT_EQ(testing::readFile(daemonErrorLog()), "could not listen\n");
}

// True once `pid` has exited, whether or not it was collected yet.
bool ended(pid_t pid) {
    const auto stat = testing::readFile("/proc/" + std::to_string(pid) + "/stat").value_or("");
    const auto close = stat.rfind(')');
    return close == std::string::npos || stat.substr(close + 2, 1) == "Z";
}

// Between a start and a stop a daemon that ended is started again, and only then, after a pause
// that grows while it keeps ending; a daemon still running is left alone.
TEST_F(DirectDaemonTest, KeepAliveStartsADaemonThatEndedOnlyWhileProtectionIsOnAndAfterItsPause) {
    const auto starts = scratch / "starts";
    // The first two starts end at once, the third stays up.
    testing::ServiceHome home("echo $$ >> '" + starts.string() + "'\n[ \"$(wc -l < '" + starts.string() +
                              "')\" -ge 3 ] && exec sleep 30\nexit 0");
    auto clock = std::chrono::steady_clock::time_point{};
    ServiceOptions options{"/nonexistent", "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl, {}};
    options.now = [&clock] { return clock; };
    ProtectionService protection(options);
    // How many starts a step caused: the expected ones are waited for (and, but for the one that
    // stays up, their ending), then a moment for any other.
    const auto startsAfter = [&](std::size_t expected, auto step) {
        const auto before = testing::readLines(starts).size();
        step();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        const auto waiting = [&] {
            const auto lines = testing::readLines(starts);
            if (lines.size() < before + expected) return true;
            return lines.size() < 3 && !lines.empty() && !ended(std::stoi(lines.back()));
        };
        while (waiting() && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return testing::readLines(starts).size() - before;
    };

    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "before any start";
    EXPECT_EQ(startsAfter(1, [&] { (void)protection.start(); }), 1u);
    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "as soon as it ended";
    clock += std::chrono::seconds(1);
    EXPECT_EQ(startsAfter(1, [&] { protection.keepAlive(); }), 1u) << "a second after it ended";
    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "as soon as it ended again";
    clock += std::chrono::seconds(1);
    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "a second after it ended again";
    clock += std::chrono::seconds(1);
    EXPECT_EQ(startsAfter(1, [&] { protection.keepAlive(); }), 1u) << "two seconds after it ended again";
    clock += std::chrono::seconds(60);
    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "while it runs";
    protection.stop();
    EXPECT_EQ(startsAfter(0, [&] { protection.keepAlive(); }), 0u) << "after a stop";
}

TEST_F(DirectDaemonTest, EngineThatCannotBeSpawnedIsASystemError) {
    testing::ServiceHome home;
    fs::permissions(home.engine, fs::perms::owner_read | fs::perms::owner_write);
    const auto result = DirectDaemonBackend({}).spawnForegroundDaemon(home.engine);
    ASSERT_FALSE(result.ok());
    EXPECT_FALSE(result.error().protection().has_value());
    EXPECT_NE(result.error().description().find("Permission denied"), std::string::npos);
}

// A set switch on launchctl and an unset one are the start tests' own cases.
TEST(BackendChoice, OnlyExactlyOneMeansADirectChild) {
    using enum ServiceBackendKind;
    EXPECT_EQ(chooseServiceBackend("1", systemd), directChild);
    for (const char* other : {"true", " 1"}) { EXPECT_EQ(chooseServiceBackend(other, systemd), systemd) << other; }
}

}  // namespace
}  // namespace vardex
