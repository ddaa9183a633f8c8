// What containment costs a command: `bash -c true` on its own, and inside `vardex sandbox` (the
// engine's start, planning the mounts, bubblewrap's namespaces). The difference is what every
// allowed shell command of an agent pays. Also the planning alone, and the hook's one-time check
// that a sandbox can run. Everything runs in a temporary home laid out as a developer's is:
// keys, cloud and package tokens, build caches, a policy and a project under git.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "agents/host_surroundings.hpp"
#include "sandbox/sandbox_plan.hpp"
#include "sandbox/sandbox_probe.hpp"
#include "support/temp_folder.hpp"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const vardex::testing::TempFolder& developerHome() {
    static const auto* home = [] {
        auto* folder = new vardex::testing::TempFolder;
        for (const auto* file : {".ssh/id_ed25519", ".ssh/known_hosts", ".ssh/config", ".gnupg/private-keys-v1.d/k.key",
                                 ".aws/credentials", ".kube/config", ".docker/config.json", ".config/gh/hosts.yml",
                                 ".local/share/keyrings/login.keyring", ".password-store/a.gpg", ".mozilla/firefox/p/x",
                                 ".npmrc", ".git-credentials", ".bashrc", ".profile", ".gitconfig", ".local/bin/tool",
                                 ".cache/pip/x", ".npm/x", ".cargo/registry/x", ".cargo/git/x", "go/pkg/mod/x",
                                 ".m2/repository/x", ".gradle/caches/x", "private/notes", "src/app/README"}) {
            vardex::testing::writeFile(*folder / file, "x");
        }
        vardex::testing::writeFile(*folder / ".config/talvenor/vardex/policy.yaml",
                                   "version: 3\nrules:\n  - id: \"user.protected.folder.private\"\n"
                                   "    decision: deny\n    match:\n      paths:\n        - \"~/private\"\n");
        ::setenv("HOME", folder->path().c_str(), 1);
        const auto project = *folder / "src/app";
        fs::current_path(project);
        std::vector<char*> git{const_cast<char*>("git"), const_cast<char*>("init"), const_cast<char*>("-q"), nullptr};
        pid_t pid = -1;
        if (::posix_spawnp(&pid, "git", nullptr, nullptr, git.data(), environ) == 0) ::waitpid(pid, nullptr, 0);
        return folder;
    }();
    return *home;
}

void runToEnd(benchmark::State& state, std::vector<std::string> words) {
    developerHome();
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("posix_spawn failed");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (status != 0) {
            state.SkipWithError("the command failed (no sandbox on this machine?)");
            break;
        }
    }
}

void BM_BashTrue(benchmark::State& state) { runToEnd(state, {"/bin/bash", "-c", "true"}); }
BENCHMARK(BM_BashTrue)->Unit(benchmark::kMillisecond);

void BM_SandboxedBashTrue(benchmark::State& state) {
    runToEnd(state, {VARDEX_ENGINE_EXE, "sandbox", "--", "/bin/bash", "-c", "true"});
}
BENCHMARK(BM_SandboxedBashTrue)->Unit(benchmark::kMillisecond);

// The engine's part before bubblewrap starts: what it reads of the home and the words it makes.
void BM_PlanSandbox(benchmark::State& state) {
    const auto project = developerHome() / "src/app";
    for (auto _ : state) {
        const auto plan = vardex::engine::planSandbox(vardex::engine::hostSurroundings(project));
        benchmark::DoNotOptimize(vardex::engine::bwrapArguments(plan, {"bash", "-c", "true"}));
    }
}
BENCHMARK(BM_PlanSandbox)->Unit(benchmark::kMicrosecond);

void BM_ProbeSandbox(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vardex::engine::probeSandbox(""));
}
BENCHMARK(BM_ProbeSandbox)->Unit(benchmark::kMillisecond);

}  // namespace
