#include "ui/support/screen_harness.hpp"

#include <algorithm>
#include <iterator>

#include <date/date.h>

#include "bridge/vardex_paths.hpp"
#include "protocol/line_codec.hpp"
#include "support/temp_folder.hpp"

namespace vardex::ui::testing {

namespace {

std::string wire(const IpcMessage& message) {
    auto line = encodeLine(message);
    EXPECT_TRUE(line.ok());
    return line.ok() ? *line : std::string();
}

}  // namespace

ScreenHarness::ScreenHarness(std::string_view engine) {
    ::tzset();
    dayStart_ = std::chrono::floor<std::chrono::days>(harness_.queue.now());
    harness_.preferences.values["v3FirstRunAt"] = dayStart_;
    harness_.writeEngine(std::string(engine));
    auto& store = harness_.make();
    // Each test asks for the consent screen and onboarding itself when it wants them.
    store.showConnectConsent = false;
    store.showOnboarding = false;
    watcher_ = std::make_unique<StoreWatcher>(store);
    context_ = std::make_unique<ScreenContext>(ScreenContext{store, *watcher_, harness_.preferences, model_});
}

ScreenHarness::~ScreenHarness() {
    if (!daemon_) return;
    lines_.close();
    harness_.storePointer().reset();
    daemon_.reset();
}

void ScreenHarness::settle() {
    for (int round = 0; round < 3; ++round) {
        harness_.queue.runPending();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void ScreenHarness::advance(double seconds) {
    harness_.queue.advance(seconds);
    settle();
}

void ScreenHarness::writeLog(const std::vector<LogLine>& lines) {
    std::string text;
    int hash = 0;
    for (const auto& line : lines) {
        const auto at = std::chrono::floor<std::chrono::seconds>(dayStart_ + std::chrono::seconds(line.second));
        text += R"({"ts":")" + date::format("%FT%TZ", at) + R"(","agent":")" + line.agent + R"(","session":"s1","action":{"raw":")" +
                line.command + R"("},"decision":")" + line.decision + "\"";
        if (!line.ruleId.empty()) text += R"(,"rule_id":")" + line.ruleId + "\"";
        text += R"(,"hash":"h)" + std::to_string(++hash) + "\"}\n";
    }
    vardex::testing::writeFile(VardexPaths::auditLogURL(), text);
    store().refreshAuditFeed();
    settle();
}

void ScreenHarness::click(const QWidget& root, const char* name) {
    if (auto* button = child<QAbstractButton>(root, name)) QTest::mouseClick(button, Qt::LeftButton);
    settle();
}

bool ScreenHarness::engineRan(const std::string& call) const {
    return std::ranges::count(harness_.engineCalls(), call) > 0;
}

void ScreenHarness::connect() {
    daemon_ = std::make_unique<vardex::testing::TestDaemon>(harness_.home / "vardex.sock", lines_.script());
    store().running.set(true);
    store().connectLoop();
    EXPECT_TRUE(harness_.queue.runUntil([&] { return store().connected; }));
    settle();
}

void ScreenHarness::daemonAsks(const ApprovalRequest& request) {
    const auto before = store().pending.size();
    lines_.push(wire(IpcMessage::approvalRequest(request)));
    EXPECT_TRUE(harness_.queue.runUntil([&] { return store().pending.size() > before; }));
    settle();
}

void ScreenHarness::daemonWithdraws(const std::string& id) {
    lines_.push(wire(IpcMessage::approvalResponse({id, ApprovalVerdict::deny, "hook"})));
    EXPECT_TRUE(harness_.queue.runUntil([&] {
        return std::ranges::none_of(store().pending, [&](const PendingAsk& ask) { return ask.request.id == id; });
    }));
    settle();
}

std::vector<std::string> ScreenHarness::answersReceived() {
    const auto pings = [&] { return std::ranges::count(daemon_->received(), std::string(R"({"type":"ping"})")); };
    const auto before = pings();
    lines_.push(wire(IpcMessage::ping()));
    // The reply reaches the daemon's thread, which posts nothing to the queue: short waits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!harness_.queue.runUntil([&] { return pings() > before; }, std::chrono::milliseconds(10)) &&
           std::chrono::steady_clock::now() < deadline) {
    }
    EXPECT_GT(pings(), before);
    std::vector<std::string> answers;
    std::ranges::copy_if(daemon_->received(), std::back_inserter(answers),
                         [](const std::string& line) { return line.find("\"approval_response\"") != std::string::npos; });
    settle();
    return answers;
}

ApprovalRequest sudoRequest(std::string id, Severity severity) {
    return {.id = std::move(id), .actionSummary = "sudo ls", .rule = "priv.sudo", .severity = severity,
            .risk = RiskScore::make(0.8).value(), .reasonUser = "Runs as administrator.",
            .agent = AgentContext{AgentKind::claude, "S", "/home/ana/project", false},
            .breakdown = {}};
}

std::string verdictLine(const std::string& id, const std::string& verdict) {
    return R"({"by":"menubar","id":")" + id + R"(","type":"approval_response","verdict":")" + verdict + R"("})";
}

}  // namespace vardex::ui::testing
