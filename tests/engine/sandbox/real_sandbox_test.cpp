#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "engine/row_name.hpp"
#include "policy/user_policy_file.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "support/temp_home.hpp"
#include "support/test_daemon.hpp"

extern char** environ;

namespace vardex::engine {
namespace {

namespace fs = std::filesystem;

// Every secret holds this word, so no row can read one and pass.
constexpr std::string_view secretWord = "SECRET";

struct ContainedCase {
    const char* name;
    const char* script;  // run by bash inside the sandbox, in the project
    int exitStatus;
    const char* printed = "";   // standard output and error contain this
    const char* survives = "";  // below the home: still there afterwards
    const char* absent = "";    // below the home: not made
};

// A real home in a temporary folder: keys and tokens of every kind, a project under git, the
// daemon and a session bus listening, and a process outside the sandbox.
class RealSandbox : public ::testing::TestWithParam<ContainedCase> {
protected:
    void SetUp() override {
        const auto availability = probeSandbox(VardexPaths::env("PATH").value_or(""));
        if (!availability.available()) GTEST_SKIP() << "No sandbox on this machine: " << availability.reason << ".";
        for (const auto* secret : {".ssh/id_ed25519", ".gnupg/private-keys-v1.d/k.key", ".aws/credentials", ".kube/config",
                                   ".local/share/keyrings/login.keyring", ".password-store/mail.gpg",
                                   ".mozilla/firefox/p/logins.json", ".npmrc", ".git-credentials", ".config/gh/hosts.yml",
                                   ".docker/config.json", "private/notes.txt"}) {
            testing::writeFile(home_ / secret, std::string(secretWord) + " in " + secret + "\n");
        }
        testing::writeFile(home_ / ".ssh/known_hosts", "HOSTS\n");
        testing::writeFile(home_ / "documents/keep.txt", "keep\n");
        testing::writeFile(home_ / "project/Makefile", "all:\n\t@echo made\n");
        fs::create_directories(home_ / ".cache");
        auto policy = UserPolicyFile::empty;
        policy.addFolder((home_ / "private").string());
        ASSERT_TRUE(policy.writeToHome().ok());
        ASSERT_EQ(run("/usr/bin/git", {"init", "-q", (home_ / "project").string()}, home_.path()).exitCode, 0);
        fs::create_directories(fs::path(VardexPaths::socketPath()).parent_path());
        daemon_.emplace(VardexPaths::socketPath(), testing::scripts::answerPing());
        bus_.emplace(home_ / "run/bus", testing::scripts::answerPing());
        char sleepWord[] = "sleep", seconds[] = "600";
        char* words[] = {sleepWord, seconds, nullptr};
        ASSERT_EQ(::posix_spawnp(&outside_, "sleep", nullptr, nullptr, words, environ), 0);
    }

    void TearDown() override {
        if (outside_ > 0) {
            ::kill(outside_, SIGKILL);
            ::waitpid(outside_, nullptr, 0);
        }
    }

    CliResult run(const fs::path& program, const std::vector<std::string>& arguments, const fs::path& cwd,
                  std::optional<std::string> input = std::nullopt) {
        VardexCli::RunSetup setup;
        setup.cwd = cwd;
        setup.input = std::move(input);
        setup.environment = {{"OUTSIDE_PID", std::to_string(outside_)},
                             {"DAEMON", VardexPaths::socketPath()},
                             {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (home_ / "run/bus").string()},
                             {"GREETING", "hello there"}};
        auto result = VardexCli::runProgram(program, arguments, setup);
        EXPECT_TRUE(result.ok()) << result.error().description();
        return result.ok() ? *result : CliResult{-1, {}, {}};
    }

    testing::TempHome home_;
    std::optional<testing::TestDaemon> daemon_;
    std::optional<testing::TestDaemon> bus_;
    pid_t outside_ = -1;
};

TEST_P(RealSandbox, HoldsWhatItPromises) {
    const auto& c = GetParam();
    const auto result = run(VARDEX_ENGINE_EXE, {"sandbox", "--", "bash", "-c", c.script}, home_ / "project",
                            std::string("typed in\n"));
    const auto printed = result.stdout + result.stderr;
    EXPECT_EQ(result.exitCode, c.exitStatus) << printed;
    EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
    EXPECT_EQ(printed.find(secretWord), std::string::npos) << printed;
    EXPECT_TRUE(*c.survives == '\0' || fs::exists(home_ / c.survives)) << c.survives;
    EXPECT_TRUE(*c.absent == '\0' || !fs::exists(home_ / c.absent)) << c.absent;
    EXPECT_EQ(::kill(outside_, 0), 0) << "the process outside was ended";
}

INSTANTIATE_TEST_SUITE_P(Table, RealSandbox, ::testing::Values(
    ContainedCase{"ssh_key", "cat ~/.ssh/id_ed25519", 1},
    ContainedCase{"ssh_folder_listing", "ls ~/.ssh | grep -c id_", 1, "0"},
    ContainedCase{"gpg_key", "cat ~/.gnupg/private-keys-v1.d/k.key", 1},
    ContainedCase{"cloud_credentials", "cat ~/.aws/credentials ~/.kube/config", 1},
    ContainedCase{"keychains", "cat ~/.local/share/keyrings/login.keyring ~/.password-store/mail.gpg", 1},
    ContainedCase{"browser_profile", "cat ~/.mozilla/firefox/p/logins.json", 1},
    ContainedCase{"package_tokens", "cat ~/.npmrc; cat ~/.git-credentials ~/.config/gh/hosts.yml ~/.docker/config.json", 1},
    ContainedCase{"protected_folder", "grep -r . ~/private", 1},
    ContainedCase{"secrets_by_search", "grep -rs SECRET ~; true", 0},
    ContainedCase{"known_hosts_readable", "cat ~/.ssh/known_hosts", 0, "HOSTS"},
    ContainedCase{"write_outside_project", "echo x > ~/outside", 1, "Read-only", "", "outside"},
    ContainedCase{"rm_home", "rm -rf ~ 2>/dev/null; true", 0, "", "documents/keep.txt"},
    ContainedCase{"start_up_file", "echo evil >> ~/.bashrc", 1, "Read-only", "", ".bashrc"},
    ContainedCase{"git_hook", "echo evil > .git/hooks/post-checkout", 1, "Read-only", "", "project/.git/hooks/post-checkout"},
    ContainedCase{"daemon_socket", "python3 -c 'import socket,os; s=socket.socket(socket.AF_UNIX); s.connect(os.environ[\"DAEMON\"]); print(\"CONNECTED\")' 2>/dev/null || echo refused", 0, "refused"},
    ContainedCase{"session_bus", "python3 -c 'import socket,os; s=socket.socket(socket.AF_UNIX); s.connect(os.environ[\"DBUS_SESSION_BUS_ADDRESS\"][10:]); print(\"CONNECTED\")' 2>/dev/null || echo refused", 0, "refused"},
    ContainedCase{"kill_outside", "kill -9 $OUTSIDE_PID", 1},
    ContainedCase{"git_works", "git -c user.name=a -c user.email=a@b commit -q --allow-empty -m one && git log --oneline | wc -l", 0, "1"},
    ContainedCase{"make_works", "make", 0, "made"},
    ContainedCase{"venv_works", "python3 -m venv --without-pip venv && venv/bin/python -c 'print(6*7)'", 0, "42", "project/venv"},
    ContainedCase{"node_works", "node -e 'console.log(6*7)'", 0, "42"},
    ContainedCase{"caches_writable", "echo c > ~/.cache/x && cat ~/.cache/x", 0, "c", ".cache/x"},
    ContainedCase{"tmp_writable", "f=$(mktemp) && echo t > $f && cat $f && rm $f", 0, "t"},
    ContainedCase{"status_and_streams", "echo out; echo err >&2; exit 7", 7, "out\nerr"},
    ContainedCase{"stdin_env_and_folder", "read line; echo \"$line/$GREETING/$(pwd)\"", 0, "typed in/hello there/"}),
    testing::byName);

}  // namespace
}  // namespace vardex::engine
