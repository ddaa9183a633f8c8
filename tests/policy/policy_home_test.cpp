#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "policy/onboarding_folders.hpp"
#include "policy/user_policy_file.hpp"
#include "policy/user_policy_writer.hpp"
#include "support/temp_home.hpp"

namespace vardex {
namespace {

namespace fs = std::filesystem;

// A real temporary HOME with an empty PATH folder, so the only engine a test sees is the one it
// writes itself.
class TemporaryHome : public ::testing::Test {
protected:
    fs::path configFolder() const { return home_ / ".config/talvenor/vardex"; }
    fs::path policyPath() const { return configFolder() / "policy.yaml"; }

    static void writeFile(const fs::path& path, const std::string& bytes, fs::perms mode = fs::perms(0644)) {
        testing::writeFile(path, bytes);
        fs::permissions(path, mode);
    }

    // A fake engine that the lookup finds through VARDEX_BIN; `home_` puts the variable back.
    void writeEngine(const std::string& script, fs::perms mode = fs::perms(0755)) {
        writeFile(home_ / "bin/vardex", script, mode);
        ::setenv("VARDEX_BIN", (home_ / "bin/vardex").c_str(), 1);
    }

    testing::TempHome home_;
    testing::ScopedEnv pathVar_{"PATH", (home_ / "bin").string()};
};

UserPolicyFile samplePolicy() {
    UserPolicyFile policy;
    policy.askThreshold = 0.4;
    policy.addSite("example.com");
    policy.setDisabled("secrets.env_file", true);
    return policy;
}

// ---- saving ----

// The engine's script (one that is missing or cannot start is the store's case), and how the
// error's text begins when the save is refused (empty when it is kept).
struct SaveCase { const char *name, *engine; bool executable; const char* refusal; };

const SaveCase saveCases[] = {
    {"EngineAccepts", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$HOME/args\"\n/bin/cat \"$3\" > \"$HOME/seen\"\nexit 0\n", true, ""},
    {"EngineRefusesWithMessage",
     "#!/bin/sh\n/bin/cat \"$3\" > \"$HOME/seen\"\necho '  line 4: unknown severity  '\necho ' see the docs ' >&2\nexit 2\n",
     true, "line 4: unknown severity\nsee the docs"},
    {"EngineRefusesSilently", "#!/bin/sh\necho '   '\nexit 1\n", true, "The policy file is not valid."},
    {"EngineKilledBySignal", "#!/bin/sh\nkill -9 $$\n", true, "The policy file is not valid."},
    {"EngineNotExecutable", "#!/bin/sh\nexit 1\n", false, ""},
};

struct Previous { const char* name; std::optional<std::string> bytes; fs::perms mode; };

const Previous previousFiles[] = {{"Absent", std::nullopt, fs::perms(0644)},
                                   {"HandWritten", std::string("# mine\r\nversion: 1\r\n  - \xFF\xFE not UTF-8"), fs::perms(0600)}};

class Saving : public TemporaryHome, public ::testing::WithParamInterface<std::tuple<SaveCase, Previous>> {};

TEST_P(Saving, KeepsTheNewFileOnlyWhenTheEngineAcceptsIt) {
    const auto& [engine, previous] = GetParam();
    writeEngine(engine.engine, engine.executable ? fs::perms(0755) : fs::perms(0644));
    if (previous.bytes) writeFile(policyPath(), *previous.bytes, previous.mode);
    const UserPolicyFile policy = samplePolicy();
    const auto saved = UserPolicyWriter::save(policy);
    if (*engine.refusal == '\0') {
        ASSERT_TRUE(saved.ok()) << saved.error().description();
        EXPECT_EQ(testing::readFile(policyPath()), policy.yaml());
        EXPECT_EQ(UserPolicyFile::loadFromHome(), policy);
        EXPECT_EQ(fs::status(policyPath()).permissions(), previous.bytes ? previous.mode : fs::perms(0644));
        // The engine is asked to check the file as the user's layer.
        const std::string args = "rules\nvalidate\n" + policyPath().string() + "\n--as\nuser\n";
        EXPECT_EQ(testing::readFile(home_ / "args").value_or(args), args);
        return;
    }
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().description().starts_with(engine.refusal)) << saved.error().description();
    EXPECT_EQ(testing::readFile(policyPath()), previous.bytes);
    if (previous.bytes) { EXPECT_EQ(fs::status(policyPath()).permissions(), previous.mode); }
    // The engine checked the new text, not the old one.
    EXPECT_EQ(testing::readFile(home_ / "seen").value_or(policy.yaml()), policy.yaml());
}

INSTANTIATE_TEST_SUITE_P(Engines, Saving, ::testing::Combine(::testing::ValuesIn(saveCases), ::testing::ValuesIn(previousFiles)),
                         [](const auto& p) { return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name; });

// Neither a file where the folder belongs nor a folder where the file belongs is touched, and
// the engine is not asked about a file that was never written.
TEST_F(TemporaryHome, APlaceThatCannotBeWrittenIsLeftAsItWas) {
    writeEngine("#!/bin/sh\ntouch \"$HOME/ran\"\nexit 0\n");
    writeFile(home_ / ".config/talvenor", "not a folder");
    auto saved = UserPolicyWriter::save(samplePolicy());
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().description(), "Could not write the policy file.");
    EXPECT_EQ(testing::readFile(home_ / ".config/talvenor"), "not a folder");

    fs::remove(home_ / ".config/talvenor");
    fs::create_directories(policyPath() / "inside");
    saved = UserPolicyWriter::save(samplePolicy());
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(fs::is_directory(policyPath() / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(configFolder()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
    EXPECT_FALSE(fs::exists(home_ / "ran"));
}

// ---- reading and writing at home ----

TEST_F(TemporaryHome, LoadingFromHomeFallsBackToEmpty) {
    EXPECT_EQ(UserPolicyFile::loadFromHome(), UserPolicyFile::empty) << "missing";
    writeFile(policyPath(), "version: 4\n\xC3\x28\n");
    EXPECT_EQ(UserPolicyFile::loadFromHome(), UserPolicyFile::empty) << "not UTF-8";
    EXPECT_EQ(UserPolicyFile::load(policyPath()).error().kind(), PolicyFileError::Kind::notUTF8);
    fs::remove(policyPath());
    fs::create_directories(policyPath());
    EXPECT_EQ(UserPolicyFile::loadFromHome(), UserPolicyFile::empty) << "unreadable";
    EXPECT_EQ(UserPolicyFile::load(policyPath()).error().kind(), PolicyFileError::Kind::readFailed);
}

// ---- well-known places ----

TEST_F(TemporaryHome, OnboardingFoldersHangOffHomeWithoutTrailingSlashes) {
    ::setenv("HOME", "/home/ana/", 1);
    EXPECT_EQ(OnboardingFolders::documentsPath(), "/home/ana/Documents");
    EXPECT_EQ(OnboardingFolders::defaultGuardPaths().at(1), "/home/ana/.ssh");
    // An empty HOME falls back to the account's home.
    ::setenv("HOME", "", 1);
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(OnboardingFolders::passwordsPath(), fs::path(account->pw_dir).lexically_normal().string());
}

}  // namespace
}  // namespace vardex
