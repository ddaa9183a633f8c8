#include <gtest/gtest.h>
#include <unistd.h>

#include "service/launch_agent.hpp"
#include "service/protection_service.hpp"
#include "service_home.hpp"
#include "support/test_daemon.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

const std::string service = "gui/" + std::to_string(::getuid()) + "/com.talvenor.vardex";
const std::string domain = "gui/" + std::to_string(::getuid());

// What the fake launchctl's "print" says: not loaded, or loaded with a program line.
constexpr const char* notLoaded = "print) echo 'Could not find service' >&2; exit 113;;";
constexpr const char* loadedSameEngine = "print) printf 'x = {\\n\\tprogram = %s\\n}\\n' \"$VARDEX_BIN\";;";
constexpr const char* loadedOtherEngine = "print) printf 'x = {\\n\\tprogram = /usr/local/bin/vardex\\n}\\n';;";

// An empty bootstrap succeeds. When no daemon is answering, a socket file nobody answers on is
// left. The calls are "print", "bootout", "bootstrap", "kickstart" in the order they must run.
struct LaunchctlCase {
    const char *name, *print, *bootstrap;
    bool answering;
    std::vector<std::string> calls;
    std::optional<ProtectionError> error;
};

class LaunchctlStartTest : public ::testing::TestWithParam<LaunchctlCase> {
protected:
    testing::ServiceHome home;
};

std::vector<std::string> fullCalls(const std::vector<std::string>& verbs) {
    std::vector<std::string> calls;
    for (const auto& verb : verbs) {
        if (verb == "print" || verb == "bootout") calls.push_back(verb + " " + service);
        else if (verb == "kickstart") calls.push_back("kickstart -k " + service);
        else if (verb == "bootstrap") calls.push_back("bootstrap " + domain + " " + VardexPaths::launchAgentPlistURL().string());
        else calls.push_back(verb);
    }
    return calls;
}

TEST_P(LaunchctlStartTest, FollowsTheServiceState) {
    const auto& c = GetParam();
    const auto launchctl = home.serviceManager("launchctl", std::string("case \"$1\" in\n") + c.print + "\n" + c.bootstrap + "\nesac");
    fs::create_directories(fs::path(home.socket()).parent_path());
    std::optional<testing::TestDaemon> daemon;
    if (c.answering) daemon.emplace(home.socket(), testing::scripts::answerPing());
    else testing::writeFile(home.socket(), "");

    ProtectionService protection({launchctl, "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl, {}});
    ASSERT_EQ(protection.backendKind(), ServiceBackendKind::launchctl);
    const auto started = protection.start();
    EXPECT_EQ(home.calls(), fullCalls(c.calls));
    testing::expectOutcome(started, c.error);
    EXPECT_TRUE(fs::exists(VardexPaths::launchAgentPlistURL()));
}

// The fake notes "socket present" when bootstrap finds a socket file: right for a daemon that
// answers, wrong for a stale file, which must be gone by then.
const std::vector<std::string> reload{"print", "bootout", "bootstrap", "socket present", "kickstart"};
const std::vector<std::string> reloadCleared{"print", "bootout", "bootstrap", "kickstart"};
const std::vector<std::string> refused{"print", "bootout", "bootstrap", "socket present"};

INSTANTIATE_TEST_SUITE_P(States, LaunchctlStartTest, ::testing::Values(
        LaunchctlCase{"notLoaded", notLoaded, "", true, reload, std::nullopt},
        LaunchctlCase{"loadedSameEngineAnswering", loadedSameEngine, "", true, {"print"}, std::nullopt},
        LaunchctlCase{"loadedOtherEngine", loadedOtherEngine, "", true, reload, std::nullopt},
        // The stale file is gone before bootstrap (no "socket present"), and nobody ever answers.
        LaunchctlCase{"loadedNotAnswering", loadedSameEngine, "", false, reloadCleared, ProtectionError::daemonDidNotStart()},
        LaunchctlCase{"bootstrapInputOutputError", notLoaded,
                      "bootstrap) echo 'Bootstrap failed: 5: Input/output error' >&2; exit 5;;", true, reload, std::nullopt},
        LaunchctlCase{"bootstrapFailsSilently", notLoaded, "bootstrap) exit 1;;", true, refused,
                      ProtectionError::launchctlFailed("launchctl bootstrap failed")},
        LaunchctlCase{"bootstrapRefused", notLoaded, "bootstrap) echo 'err;' >&2; echo 'out'; exit 1;;", true, refused,
                      ProtectionError::launchctlFailed("err;\nout\n")}), testing::caseName);

TEST(LaunchctlStart, LaunchctlThatCannotRunIsARefusedBootstrap) {
    testing::ServiceHome home;
    ProtectionService protection({home.home / "no-launchctl", "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl, {}});
    const auto started = protection.start();
    ASSERT_FALSE(started.ok());
    ASSERT_TRUE(started.error().is(ProtectionError::Kind::launchctlFailed));
    EXPECT_NE(started.error().protection()->output().find("No such file"), std::string::npos);
}

struct LoginCase { const char *name, *print; bool on; std::vector<std::string> calls; };

class LaunchctlLoginTest : public ::testing::TestWithParam<LoginCase> {};

TEST_P(LaunchctlLoginTest, StoresTheChoiceReloadsOnlyALoadedAgentAndStopBootsOut) {
    const auto& c = GetParam();
    testing::ServiceHome home;
    const auto launchctl = home.serviceManager("launchctl", std::string("case \"$1\" in\n") + c.print + "\nesac");
    ProtectionService protection({launchctl, "/nonexistent", testing::quickTimeouts(), ServiceBackendKind::launchctl, {}});

    const auto set = protection.setStartAtLogin(c.on);
    ASSERT_TRUE(set.ok()) << set.error().description();
    EXPECT_EQ(home.calls(), fullCalls(c.calls));
    EXPECT_EQ(protection.loadStartAtLogin(), c.on);
    EXPECT_EQ(testing::readFile(VardexPaths::launchAgentPlistURL()), launchAgentPlist(home.engine, c.on, ServiceOptions{}.app));
    // Stopping boots the agent out and keeps its property list for the next start.
    protection.stop();
    EXPECT_EQ(home.calls().back(), fullCalls({"bootout"}).back());
    EXPECT_TRUE(fs::exists(VardexPaths::launchAgentPlistURL()));
}

INSTANTIATE_TEST_SUITE_P(Login, LaunchctlLoginTest, ::testing::Values(
        LoginCase{"notLoadedOn", notLoaded, true, {"print"}},
        LoginCase{"loadedOffUnloads", loadedSameEngine, false, {"print", "bootout"}},
        LoginCase{"loadedOnReloads", loadedSameEngine, true, {"print", "bootout", "bootstrap"}}), testing::caseName);

}  // namespace
}  // namespace vardex
