#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include <QWidget>

#include "protocol/ipc_message.hpp"
#include "support/fake_engine_store.hpp"
#include "ui/app/shell_surfaces.hpp"
#include "ui/automation/automation_harness.hpp"

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

ApprovalRequest askFor(std::string id) {
    ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = "sudo ls";
    request.rule = "priv.sudo";
    request.agent = AgentContext{AgentKind::claude, "s-1", "/tmp", false};
    return request;
}

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
    EXPECT_EQ(got[0]["ok"], false);
    EXPECT_EQ(got[1]["ok"], true);
    EXPECT_EQ(got[2]["ok"], true);
    EXPECT_EQ(got[3]["ok"], false);
    EXPECT_EQ(got[4]["ok"], false);
    EXPECT_EQ(got[5]["result"], json::array({(captures / "first-popover.png").string()}));
    EXPECT_TRUE(std::filesystem::exists(captures / "first-popover.png"));
    EXPECT_EQ(got[6]["result"]["page"], "rules");
    EXPECT_EQ(got[6]["result"]["pending"], json::array());
    for (const auto& reply : got) EXPECT_EQ(reply["ok"] == false, reply["error"].is_string()) << reply;
}

TEST_F(AutomationHarnessTest, AWaitHoldsTheRestOfTheBatchAndAnswersCarryTheAutomationApprover) {
    auto& store = harness.store();
    EXPECT_EQ(run("wait-until pending>=1 20\nanswer first deny\n").size(), 0u) << "the answer waits for the question";
    store.handle(IpcMessage::approvalRequest(askFor("req-1")));
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

    EXPECT_EQ(run("wait-until pending>=1 0.5\n").size(), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    store.tick();
    EXPECT_EQ(replies().back()["ok"], false) << "the wait gives up when its time is over";
}

}  // namespace
}  // namespace vardex::ui
