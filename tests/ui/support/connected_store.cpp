#include "ui/support/connected_store.hpp"

#include <algorithm>

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "protocol/line_codec.hpp"

namespace vardex::ui::testing {

namespace {

const std::string pingLine = R"({"type":"ping"})";

std::string wire(const IpcMessage& message) {
    auto line = encodeLine(message);
    EXPECT_TRUE(line.ok());
    return line.ok() ? *line : std::string();
}

}  // namespace

ConnectedStore::ConnectedStore() : socketPath_(harness.home / "vardex.sock") {
    socketEnv_ = std::make_unique<vardex::testing::ScopedEnv>("VARDEX_SOCK", socketPath_.string());
    daemon_ = std::make_unique<vardex::testing::TestDaemon>(socketPath_, lines_.script());
    auto& store = harness.make();
    watcher_ = std::make_unique<StoreWatcher>(store);
    context_ = std::make_unique<ScreenContext>(ScreenContext{store, *watcher_, harness.preferences, helperModel_});
    // The connection alone, without protection start-up or timers: the test owns the clock.
    store.running.set(true);
    store.connectLoop();
    EXPECT_TRUE(harness.queue.runUntil([&] { return store.connected; }));
    settle();
}

ConnectedStore::~ConnectedStore() {
    lines_.close();
    harness.storePointer().reset();
    daemon_.reset();
}

void ConnectedStore::daemonAsks(const ApprovalRequest& request) {
    const auto before = store().pending.size();
    lines_.push(wire(IpcMessage::approvalRequest(request)));
    EXPECT_TRUE(harness.queue.runUntil([&] { return store().pending.size() > before; }));
    settle();
}

void ConnectedStore::advance(double seconds) {
    harness.queue.advance(seconds);
    settle();
}

void ConnectedStore::settle() {
    harness.queue.runPending();
    QCoreApplication::processEvents();
    harness.queue.runPending();
    QCoreApplication::processEvents();
}

std::vector<std::string> ConnectedStore::answersReceived() {
    const auto pings = [&] { return std::ranges::count(daemon_->received(), pingLine); };
    const auto before = pings();
    lines_.push(wire(IpcMessage::ping()));
    EXPECT_TRUE(harness.queue.runUntil([&] { return pings() > before; }));
    std::vector<std::string> answers;
    for (const auto& line : daemon_->received()) {
        if (line.find("\"approval_response\"") != std::string::npos) answers.push_back(line);
    }
    settle();
    return answers;
}

ApprovalRequest sudoRequest(std::string id, Severity severity) {
    ApprovalRequest request;
    request.id = std::move(id);
    request.actionSummary = "sudo ls";
    request.rule = "priv.sudo";
    request.severity = severity;
    request.risk = RiskScore::make(0.8).value();
    request.reasonUser = "Runs as administrator.";
    request.agent = AgentContext{AgentKind::claude, "S", "/home/ana/project", false};
    return request;
}

std::string verdictLine(const std::string& id, const std::string& verdict) {
    return R"({"by":"menubar","id":")" + id + R"(","type":"approval_response","verdict":")" + verdict + R"("})";
}

}  // namespace vardex::ui::testing
