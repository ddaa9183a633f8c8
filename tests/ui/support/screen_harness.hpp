#pragma once

// Screen tests include this header alone for the test framework, the widgets they look at and
// the store.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include "protocol/approval.hpp"
#include "store/vardex_store.hpp"
#include "support/daemon_lines.hpp"
#include "support/fake_engine_store.hpp"
#include "support/store_harness.hpp"
#include "support/test_daemon.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/helper/helper_model.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui::testing {

using vardex::testing::caseName;

// An engine for the pages: a healthy report, two rules (one of them critical), a policy check
// that refuses any file naming "refused.example", and a trial check that always blocks.
inline constexpr std::string_view pageEngine = R"(case "$1" in
  doctor) echo '{"schema_version":1,"status":"ok","binary":{"status":"ok","message":"ok"},"hooks":[]}' ;;
  rules) case "$2" in
    list) echo '{"rules":[{"id":"secrets.dotenv","description":"Secrets files","severity":"high","decision":"deny","layer":"embedded"},{"id":"destructive.disk","description":"Disk erase","severity":"critical","decision":"deny","layer":"embedded"}]}' ;;
    validate) if grep -q refused.example "$3"; then echo 'That site is not allowed here.'; exit 1; fi ;;
  esac ;;
  protect) [ "$2" = list ] && echo '[]' ;;
  connect) echo '{}' ;;
  check) echo '{"outcome":"deny","rule_id":"secrets.ssh_private_key","reason_user":"Reading your SSH key.","reason_agent":"","risk_score":0.9,"severity":"critical"}' ;;
esac
exit 0
)";

// One line of the engine's activity log, written into the real log file.
struct LogLine {
    int second;  // since the start of the store's day (UTC); negative for the day before
    std::string agent;
    std::string command;
    std::string decision;
    std::string ruleId;  // empty: none
};

// A real store on virtual time in a temporary home with a fake engine script, and the context
// screens are built with. The day is the UTC day, and the first run is counted from its start, so
// log lines of the day's first seconds belong to "today". After `connect()` the store also talks
// to a scripted daemon on a real socket, which sends what the test pushes and records every line
// the app writes.
class ScreenHarness {
public:
    explicit ScreenHarness(std::string_view engine = vardex::testing::quietEngine);
    ~ScreenHarness();

    VardexStore& store() { return harness_.store(); }
    ScreenContext& context() { return *context_; }

    // Runs what the store posted to its queue and the watcher's redraw.
    void settle();
    // Moves the virtual clock (timers and the arming second run) and lets the screens redraw.
    void advance(double seconds);
    void writeLog(const std::vector<LogLine>& lines);
    // Builds a screen on this context (and the further arguments), shows it and lets it draw.
    template <class Screen, class... Args>
    std::unique_ptr<Screen> show(Args... args) {
        auto screen = std::make_unique<Screen>(context(), args...);
        screen->show();
        settle();
        return screen;
    }
    // Clicks the button of this object name under `root` and lets the screens redraw.
    void click(const QWidget& root, const char* name);
    bool engineRan(const std::string& call) const;
    // The windows the store asked for, in order ("approval", "dashboard", "log").
    const std::vector<std::string>& windowsOpened() const { return harness_.windows.opened; }

    // The connection alone, without protection start-up or timers: the test owns the clock.
    void connect();
    // The daemon asks `request`; returns once the store lists it and the screens have redrawn.
    void daemonAsks(const ApprovalRequest& request);
    // Another party answered `id` (its agent withdrew it); returns once the store dropped it and
    // the screens have redrawn.
    void daemonWithdraws(const std::string& id);
    // The approval answers the daemon received, in order ("approval_response" lines only);
    // first waits until a ping sent now comes back, so every earlier line has arrived.
    std::vector<std::string> answersReceived();

private:
    vardex::testing::ScopedEnv zone_{"TZ", "UTC0"};
    vardex::testing::StoreHarness harness_;
    vardex::testing::ScopedEnv socket_{"VARDEX_SOCK", (harness_.home / "vardex.sock").string()};
    vardex::testing::DaemonLines lines_;
    std::unique_ptr<vardex::testing::TestDaemon> daemon_;
    TimePoint dayStart_;
    NoHelperModel model_;
    std::unique_ptr<StoreWatcher> watcher_;
    std::unique_ptr<ScreenContext> context_;
};

// An approval request as the reference engine sends one for `sudo ls`.
ApprovalRequest sudoRequest(std::string id, Severity severity = Severity::high);

// The exact line the app writes for a verdict the user gave in the app.
std::string verdictLine(const std::string& id, const std::string& verdict);

// The child of `root` with this object name and type; fails the test when there is none.
template <class Widget>
Widget* child(const QWidget& root, const char* name) {
    auto* found = root.findChild<Widget*>(QString::fromLatin1(name));
    if (!found) ADD_FAILURE() << "no " << name << " under " << root.objectName().toStdString();
    return found;
}

// One thing a person does on a screen.
using Input = std::function<void(QWidget&)>;

// Clicks the first button when it is shown, then each of the others, which must have come up.
template <class... Names>
Input click(const char* first, Names... then) {
    return [=](QWidget& surface) {
        if (auto* button = child<QAbstractButton>(surface, first); button->isVisible()) QTest::mouseClick(button, Qt::LeftButton);
        for (const char* name : std::initializer_list<const char*>{then...}) {
            QCoreApplication::processEvents();
            auto* button = child<QAbstractButton>(surface, name);
            ASSERT_TRUE(button && button->isVisible()) << name << " did not come up";
            QTest::mouseClick(button, Qt::LeftButton);
        }
    };
}

inline Input key(Qt::Key pressed, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [pressed, modifiers](QWidget& surface) { QTest::keyClick(&surface, pressed, modifiers); };
}

}  // namespace vardex::ui::testing
