#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include <QWidget>

#include "protocol/ipc_message.hpp"
#include "support/fake_engine_store.hpp"
#include "support/temp_folder.hpp"
#include "ui/app/shell_surfaces.hpp"
#include "ui/automation/automation_harness.hpp"
#include "ui/automation/command_file.hpp"
#include "ui/automation/command_words.hpp"
#include "ui/support/screen_harness.hpp"

namespace vardex::ui {
namespace {

using nlohmann::json;

// The four surfaces as plain widgets; opening one shows it.
class FakeSurfaces final : public ShellSurfaces {
public:
    bool open(const std::string& name) override {
        if (!widgets.contains(name)) return false;
        widgets[name]->resize(120, 80);
        widgets[name]->show();
        return true;
    }
    bool close(const std::string& name) override { return widgets.contains(name) && widgets[name]->close(); }
    std::vector<Surface> shown() const override {
        std::vector<Surface> surfaces;
        for (const auto& [name, widget] : widgets) {
            if (widget->isVisible()) surfaces.push_back({name, widget.get()});
        }
        return surfaces;
    }
    std::map<std::string, std::unique_ptr<QWidget>> widgets;
    FakeSurfaces() {
        for (const char* name : {"popover", "dashboard", "log", "approval"}) widgets[name] = std::make_unique<QWidget>();
    }
};

class AutomationHarnessTest : public vardex::testing::FakeEngineStoreTest {
protected:
    AutomationHarnessTest() {
        harness.writeEngine(std::string(vardex::testing::quietEngine));
        harness.options.approver = "automation";
        harness.automation = &automation;
        automation.attach(harness.make());
    }

    // Writes the lines as one batch and lets one tick run them.
    std::vector<json> run(const std::string& lines) {
        std::ofstream(commands, std::ios::app) << lines;
        harness.store().tick();
        return replies();
    }

    std::vector<json> replies() {
        std::vector<json> all;
        std::ifstream out(commands.string() + ".out");
        for (std::string line; std::getline(out, line);) all.push_back(json::parse(line));
        return all;
    }

    std::filesystem::path commands = harness.home / "commands";
    std::filesystem::path captures = harness.home / "captures";
    vardex::testing::ScopedEnv commandFile{"VARDEX_COMMAND_FILE", commands.string()};
    FakeSurfaces surfaces;
    AutomationHarness automation{commands, captures, surfaces};
};

TEST_F(AutomationHarnessTest, RunsEachLineInOrderAndTheAppGoesOnAfterABadOne) {
    std::filesystem::create_directories(captures);
    const auto got = run("bogus\nopen-popover\npage rules\npage nowhere\ncapture 'bad name'\ncapture first\nstate\n");
    ASSERT_EQ(got.size(), 7u);
    std::vector<bool> ok;
    for (const auto& reply : got) ok.push_back(reply["ok"].get<bool>());
    EXPECT_EQ(ok, (std::vector<bool>{false, true, true, false, false, true, true}));
    EXPECT_EQ(got[5]["result"], json::array({(captures / "first-popover.png").string()}));
    EXPECT_TRUE(std::filesystem::exists(captures / "first-popover.png"));
    EXPECT_EQ(got[6]["result"]["page"], "rules");
    EXPECT_EQ(got[6]["result"]["pending"], json::array());
    for (const auto& reply : got) EXPECT_EQ(reply["ok"] == false, reply["error"].is_string()) << reply;
}

TEST_F(AutomationHarnessTest, AWaitHoldsTheRestOfTheBatchAndAnswersCarryTheAutomationApprover) {
    auto& store = harness.store();
    EXPECT_EQ(run("wait-until pending>=1 20\nanswer first deny\n").size(), 0u) << "the answer waits for the question";
    store.handle(IpcMessage::approvalRequest(testing::sudoRequest("req-1")));
    store.tick();
    const auto got = replies();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[1]["result"]["id"], "req-1");
    EXPECT_TRUE(store.pending.empty());
    std::ifstream log(store.logURL);
    std::string last, line;
    while (std::getline(log, line)) last = line;
    EXPECT_EQ(json::parse(last)["by"], "automation");

    EXPECT_EQ(run("wait-until pending>=1 0.1\n").size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    store.tick();
    EXPECT_EQ(replies().back()["ok"], false) << "the wait gives up when its time is over";
}

// ---- the command file and its words ------------------------------------------------------------

struct WordsCase {
    const char* name;
    std::string line;
    std::vector<std::string> words;  // empty with `bad` set: refused
    bool bad = false;
};

class CommandWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(CommandWordsTest, SplitsAsAShellWould) {
    const auto& c = GetParam();
    const auto words = splitWords(c.line);
    ASSERT_EQ(static_cast<bool>(words), !c.bad);
    if (words) {
        EXPECT_EQ(*words, c.words);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandWordsTest,
    ::testing::Values(WordsCase{"blanksSeparate", "  click   allowButton\t", {"click", "allowButton"}},
                      WordsCase{"singleQuotesKeepAll", R"(type search 'a "b" $c\')", {"type", "search", R"(a "b" $c\)"}},
                      WordsCase{"doubleQuotesEscape", R"(type f "say \"hi\" \n")", {"type", "f", R"(say "hi" \n)"}},
                      WordsCase{"emptyQuotedWord", "type field ''", {"type", "field", ""}},
                      WordsCase{"backslashJoins", R"(check shell rm\ -rf)", {"check", "shell", "rm -rf"}},
                      WordsCase{"unclosedQuote", "type f 'open", {}, true}),
    vardex::testing::caseName);

class CommandFileTest : public ::testing::Test {
protected:
    void append(const std::string& text) { std::ofstream(path, std::ios::app) << text; }

    vardex::testing::TempFolder folder;
    std::filesystem::path path = folder.path() / "commands";
    CommandFile file{path};
};

TEST_F(CommandFileTest, EachLineIsTakenOnceAndAHalfWrittenLineWaitsForItsEnd) {
    EXPECT_EQ(file.take().value(), std::vector<std::string>{}) << "no file yet: nothing to do";
    append("open-popover\n\ncapture one\nsta");
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"open-popover", "capture one"}));
    EXPECT_FALSE(std::filesystem::exists(path)) << "the batch was taken whole";
    append("te\nquit\n");
    EXPECT_EQ(file.take().value(), (std::vector<std::string>{"state", "quit"}));
    EXPECT_EQ(file.take().value(), std::vector<std::string>{});
}

TEST_F(CommandFileTest, RefusesALinkOrAPipeWithoutTouchingWhatItPointsAt) {
    const auto target = folder.path() / "elsewhere";
    std::ofstream(target) << "quit\n";
    std::filesystem::create_symlink(target, path);
    EXPECT_FALSE(file.take());
    EXPECT_TRUE(std::filesystem::exists(target));

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(file.take()) << "a pipe nobody writes to must not hang the app";
}

}  // namespace
}  // namespace vardex::ui
