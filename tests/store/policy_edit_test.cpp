#include <gtest/gtest.h>

#include "bridge/vardex_paths.hpp"
#include "policy/onboarding_folders.hpp"
#include "service/service_home.hpp"
#include "support/fake_engine_store.hpp"
#include "support/temp_folder.hpp"

namespace vardex::testing {
namespace {

constexpr std::string_view refusingEngine = R"(case "$1 $2" in
  "rules validate") echo "rule 1: unknown match kind" >&2; exit 1 ;;
esac
exit 0
)";

constexpr std::string_view onDisk = R"(version: 1
disable:
  - "net.upload"
rules:
  - id: "my.rule"
    severity: medium
    decision: deny
    match:
      program:
        - "terraform"
)";

std::string fileText() { return readFile(VardexPaths::userPolicyURL()).value_or(""); }

struct EditCase { const char* name; std::function<void(VardexStore&)> edit; std::string savedText; };

class PolicyEdit : public FakeEngineStoreTest, public ::testing::WithParamInterface<EditCase> {
protected:
    VardexStore& storeWithPolicyOnDisk(std::string_view engine) {
        harness.writeEngine(std::string(engine));
        writeFile(VardexPaths::userPolicyURL(), onDisk);
        return harness.make();
    }
    std::vector<std::string> validations() const {
        return callsStartingWith("rules validate " + VardexPaths::userPolicyURL().string() + " --as user");
    }
};

TEST_P(PolicyEdit, AcceptedEditIsWrittenExactlyAndReported) {
    auto& store = storeWithPolicyOnDisk(quietEngine);

    GetParam().edit(store);
    EXPECT_EQ(validations().size(), 1u);
    harness.queue.runPending();

    EXPECT_EQ(fileText(), GetParam().savedText);
    EXPECT_EQ(store.policyError, std::nullopt);
    EXPECT_EQ(store.lastMessage, "Safety rules saved.");
    // The dashboard refresh reloads what was saved.
    EXPECT_EQ(callsStartingWith("doctor").size(), 1u);
    EXPECT_EQ(store.userPolicy, UserPolicyFile::parse(GetParam().savedText));
}

TEST_P(PolicyEdit, RefusedEditLeavesTheFileAndShowsWhatIsOnDisk) {
    auto& store = storeWithPolicyOnDisk(refusingEngine);

    GetParam().edit(store);
    harness.queue.runPending();

    EXPECT_EQ(validations().size(), 1u);
    EXPECT_EQ(fileText(), onDisk);
    EXPECT_EQ(store.policyError, "rule 1: unknown match kind");
    EXPECT_EQ(store.lastMessage, std::nullopt);
    EXPECT_EQ(store.userPolicy, UserPolicyFile::parse(onDisk));
    EXPECT_TRUE(callsStartingWith("doctor").empty());
    // A custom rule's form is emptied all the same.
    EXPECT_EQ(store.customId + store.customDescription + store.customMatchValue, "");
}

// Sites, folders, removing a rule and switching one off are driven through the pages' forms.
INSTANTIATE_TEST_SUITE_P(
    Edits, PolicyEdit,
    ::testing::Values(EditCase{"customRuleTrimmedReplacesItsNamesakeAtTheEnd",
                               [](VardexStore& store) {
                                   store.customId = "  my.rule \n";
                                   store.customDescription = "No \"rm\" here";
                                   store.customMatchValue = " /tmp/keep ";
                                   store.customMatchKind = UserRule::MatchKind::paths;
                                   store.customDecision = "ask";
                                   store.addCustomRule();
                               },
                               R"(version: 1
disable:
  - "net.upload"
rules:
  - id: "my.rule"
    description: "No \"rm\" here"
    severity: medium
    decision: ask
    match:
      paths:
        - "/tmp/keep"
)"}),
    caseName);

TEST_F(FakeEngineStoreTest, AReadingOfTheDiskFromBeforeAnEditDoesNotUndoIt) {
    harness.writeEngine(std::string(quietEngine));
    HeldBackground held;
    auto store = makeWith(held);
    const auto runHeldInOrder = [&] {
        while (!held.held.empty()) {
            auto task = std::move(held.held.front());
            held.held.erase(held.held.begin());
            task();
            harness.queue.runPending();
        }
    };

    store->refreshDashboard();
    held.held.front()();  // reads the disk now; its result lands after the edit below
    held.held.erase(held.held.begin());
    store->newDomain = "example.com";
    store->addSite();
    harness.queue.runPending();
    EXPECT_EQ(store->userPolicy.sites().size(), 1u);

    store->addFolder("/srv/data");
    runHeldInOrder();

    const auto saved = UserPolicyFile::loadFromHome();
    EXPECT_EQ(saved.sites().size(), 1u);
    EXPECT_EQ(saved.folders().size(), 1u);
    EXPECT_EQ(store->userPolicy, saved);
    EXPECT_FALSE(store->savingPolicy);
}

struct RuleFormCase { const char* name; std::string id, value, error; };

class CustomRuleForm : public FakeEngineStoreTest, public ::testing::WithParamInterface<RuleFormCase> {};

TEST_P(CustomRuleForm, RefusesAnIncompleteFormWithoutTouchingAnything) {
    const auto& c = GetParam();
    harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    store.customId = c.id;
    store.customMatchValue = c.value;

    store.addCustomRule();

    EXPECT_EQ(store.policyError, c.error);
    EXPECT_EQ(store.customId, c.id);
    EXPECT_EQ(store.customMatchValue, c.value);
    EXPECT_TRUE(harness.engineCalls().empty());
    EXPECT_FALSE(std::filesystem::exists(VardexPaths::userPolicyURL()));
}

INSTANTIATE_TEST_SUITE_P(Forms, CustomRuleForm, ::testing::Values(
    RuleFormCase{"valueOnlySpaces", "my.rule", " \n ", "Say what this rule should watch."},
    RuleFormCase{"innerSpace", "my rule.x", "rm", "Give the rule a short name such as my.rule"}), caseName);

TEST_F(FakeEngineStoreTest, DefaultFolderGuardsTwiceSaveEachPathOnItsOwnSoARefusedOneKeepsNoOtherOut) {
    harness.writeEngine(R"(if [ "$1 $2" = "rules validate" ] && grep -q '/\.ssh"' "$3"; then
  echo "no keys here"; exit 1
fi
)");
    auto& store = harness.make();

    store.applyDefaultFolderGuards();
    store.applyDefaultFolderGuards();
    harness.queue.runPending();

    UserPolicyFile expected;
    for (const auto& path : OnboardingFolders::defaultGuardPaths()) {
        if (path != OnboardingFolders::sshPath()) expected.addFolder(path);
    }
    EXPECT_EQ(fileText(), expected.yaml());
    EXPECT_EQ(store.userPolicy, expected);
    EXPECT_EQ(callsStartingWith("rules validate").size(), 2 * OnboardingFolders::defaultGuardPaths().size());
    EXPECT_EQ(store.policyError, std::nullopt);
}

class PolicyWithoutEngine : public FakeEngineStoreTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PolicyWithoutEngine, NoEngineSavesUncheckedAndAnEngineThatCannotStartRestores) {
    const bool brokenEngine = GetParam();
    TempFolder bin;
    // Executable, but its interpreter does not exist: the engine is found and cannot be started.
    const auto broken = writeScript(bin / "vardex", "");
    writeFile(broken, "#!/nonexistent/interpreter\n");
    std::filesystem::permissions(broken, std::filesystem::perms::owner_all);
    std::optional<ScopedEnv> engine;
    if (brokenEngine) engine.emplace("VARDEX_BIN", broken.string());
    writeFile(VardexPaths::userPolicyURL(), onDisk);
    auto& store = harness.make();

    store.newDomain = "example.org";
    store.addSite();
    harness.queue.runPending();

    EXPECT_EQ(store.policyError.value_or("").starts_with("Could not run Vardex. "), brokenEngine) << store.policyError.value_or("");
    EXPECT_EQ(store.userPolicy.sites().size(), brokenEngine ? 0u : 1u);
    EXPECT_EQ(fileText(), brokenEngine ? std::string(onDisk) : store.userPolicy.yaml());
}

INSTANTIATE_TEST_SUITE_P(Engines, PolicyWithoutEngine, ::testing::Bool(),
                         [](const auto& test) { return std::string(test.param ? "cannotStart" : "missing"); });

struct ProtectCase { const char* name; std::string id; bool on, withEngine; std::vector<std::string> calls; };

class SetProtect : public FakeEngineStoreTest, public ::testing::WithParamInterface<ProtectCase> {};

TEST_P(SetProtect, SwitchesTheRowAndTellsTheEngineWhateverTheRows) {
    const auto& c = GetParam();
    if (c.withEngine) harness.writeEngine(std::string(quietEngine));
    auto& store = harness.make();
    ASSERT_EQ(store.protectApps, ProtectAppRow::catalog());

    store.setProtect(c.id, c.on);
    harness.queue.runPending();

    EXPECT_FALSE(store.savingPolicy);
    EXPECT_EQ(harness.engineCalls(), c.calls);
    for (std::size_t i = 0; i < store.protectApps.size(); ++i) {
        const bool expected = store.protectApps[i].id == c.id ? c.on : ProtectAppRow::catalog()[i].protect;
        EXPECT_EQ(store.protectApps[i].protect, expected) << store.protectApps[i].id;
    }
}

INSTANTIATE_TEST_SUITE_P(Switches, SetProtect, ::testing::Values(
    ProtectCase{"off", "claude-code", false, true, {"protect set claude-code --off"}},
    ProtectCase{"unknownIdStillSent", "made-up-agent", true, true, {"protect set made-up-agent --on"}},
    ProtectCase{"noEngineStillSwitches", "aider", false, false, {}}), caseName);

}  // namespace
}  // namespace vardex::testing
