#include <gtest/gtest.h>

#include "service/protection_service.hpp"
#include "service/start_at_login.hpp"
#include "service/systemd_backend.hpp"
#include "service_home.hpp"
#include "support/test_daemon.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

constexpr const char* show = "show vardex.service --property=ActiveState --property=ExecStart";
constexpr const char* noManager = "show) echo 'Failed to connect to bus: No medium found' >&2; exit 1;;";
constexpr const char* inactive = "show) printf 'ActiveState=inactive\\nExecStart=\\n';;";
constexpr const char* activeSameEngine =
    "show) printf 'ActiveState=active\\nExecStart={ path=%s ; argv[]=%s daemon --foreground --app-executable "
    "/opt/bar/vardex-bar ; }\\n' \"$VARDEX_BIN\" \"$VARDEX_BIN\";;";
// The same engine, told about another app: restarted so the daemon listens to this one.
constexpr const char* activeOtherApp =
    "show) printf 'ActiveState=active\\nExecStart={ path=%s ; argv[]=%s daemon --foreground ; }\\n' \"$VARDEX_BIN\" \"$VARDEX_BIN\";;";
const DaemonApp app{"/opt/bar/vardex-bar", false};

// An empty restart succeeds; each call is written without its leading "--user".
struct SystemdCase {
    const char *name, *show, *restart;
    bool startAtLogin, daemonAnswers;
    std::vector<std::string> calls;
    std::optional<ProtectionError> error;
};

// A restart of the unit, with the daemon's socket found in place by the time it runs.
std::vector<std::string> restarted(const char* atLogin) {
    return {show, "daemon-reload", std::string(atLogin) + " vardex.service", "restart vardex.service", "socket present"};
}

class SystemdStartTest : public ::testing::TestWithParam<SystemdCase> {
protected:
    testing::ServiceHome home;
};

TEST_P(SystemdStartTest, FollowsTheUnitState) {
    const auto& c = GetParam();
    const auto systemctl = home.serviceManager("systemctl", std::string("shift\ncase \"$1\" in\n") + c.show + "\n" + c.restart + "\nesac");
    storeStartAtLogin(VardexPaths::settingsURL(), c.startAtLogin);
    fs::create_directories(fs::path(home.socket()).parent_path());
    std::optional<testing::TestDaemon> daemon;
    if (c.daemonAnswers) daemon.emplace(home.socket(), testing::scripts::answerPing());

    ProtectionService protection({"/nonexistent/launchctl", systemctl, testing::quickTimeouts(),
                                  ServiceBackendKind::systemd, {}, app});
    const auto started = protection.start();

    std::vector<std::string> expected;
    for (const auto& call : c.calls) expected.push_back(call == "socket present" ? call : "--user " + call);
    EXPECT_EQ(home.calls(), expected);
    testing::expectOutcome(started, c.error);
    EXPECT_EQ(testing::readFile(systemdUnitURL()), systemdUnit(home.engine, app));
}

INSTANTIATE_TEST_SUITE_P(States, SystemdStartTest, ::testing::Values(
        SystemdCase{"inactive", inactive, "", true, true, restarted("enable"), std::nullopt},
        SystemdCase{"inactiveNotAtLogin", inactive, "", false, true, restarted("disable"), std::nullopt},
        SystemdCase{"activeSameEngineAnswering", activeSameEngine, "", true, true,
                    {show, "daemon-reload", "enable vardex.service"}, std::nullopt},
        SystemdCase{"activeOtherApp", activeOtherApp, "", true, true, restarted("enable"), std::nullopt},
        SystemdCase{"activeNotAnswering", activeSameEngine, "", true, false,
                    {show, "daemon-reload", "enable vardex.service", "restart vardex.service"},
                    ProtectionError::daemonDidNotStart()},
        SystemdCase{"restartRefused", inactive, "restart) echo 'Unit vardex.service has a bad setting.' >&2; exit 1;;", true, true,
                    restarted("enable"), ProtectionError::launchctlFailed("Unit vardex.service has a bad setting.\n")}), testing::caseName);

TEST(SystemdStart, WithoutAUserManagerFallsBackToADirectChildAndSaysSo) {
    testing::TempFolder scratch;
    testing::ServiceHome home(testing::pythonDaemon(scratch / "pid"));
    const auto systemctl = home.serviceManager("systemctl", std::string("shift\ncase \"$1\" in\n") + noManager + "\nesac");
    std::vector<std::string> events;
    ProtectionService protection({"/nonexistent/launchctl", systemctl, testing::patientTimeouts(), ServiceBackendKind::systemd,
                                  [&](auto event, auto detail) { events.push_back(std::string(event) + ": " + std::string(detail)); }});
    const auto started = protection.start();
    ASSERT_TRUE(started.ok()) << started.error().description();
    EXPECT_TRUE(probeSocket(home.socket(), std::chrono::milliseconds(400)));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("Failed to connect to bus"), std::string::npos);

    // From here on the child is the service: a later start asks systemd nothing, stop ends it.
    ASSERT_TRUE(protection.start().ok());
    EXPECT_EQ(home.calls(), std::vector<std::string>{std::string("--user ") + show});
    protection.stop();
    EXPECT_FALSE(probeSocket(home.socket(), std::chrono::milliseconds(200)));
    EXPECT_EQ(events.size(), 1u);
}

TEST(SystemdLogin, RewritesTheUnitAndEnablesOrDisablesIt) {
    testing::ServiceHome home;
    const auto systemctl = home.serviceManager("systemctl", "");
    ProtectionService protection({"/nonexistent", systemctl, testing::quickTimeouts(), ServiceBackendKind::systemd, {}});
    for (const bool on : {false, true}) {
        ASSERT_TRUE(protection.setStartAtLogin(on).ok());
        EXPECT_EQ(protection.loadStartAtLogin(), on);
    }
    EXPECT_EQ(home.calls(), (std::vector<std::string>{"--user daemon-reload", "--user disable vardex.service",
                                                      "--user daemon-reload", "--user enable vardex.service"}));
    EXPECT_TRUE(fs::exists(systemdUnitURL()));
    protection.stop();
    EXPECT_EQ(home.calls().back(), "--user stop vardex.service");
}

}  // namespace
}  // namespace vardex
