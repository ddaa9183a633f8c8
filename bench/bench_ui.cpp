// The desktop app as a person meets it: from start to the tray icon, from an approval line on
// the socket to the panel on screen, and what the app costs while it sits idle and connected.
// Run on a display with a tray (see tests/ui/tray/in_xvfb.sh --trayer); the idle figures start
// the built app and the reference engine as child processes.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSystemTrayIcon>
#include <QTimer>

#include "bridge/vardex_paths.hpp"
#include "protocol/line_codec.hpp"
#include "store/vardex_store.hpp"
#include "support/daemon_lines.hpp"
#include "support/scoped_env.hpp"
#include "support/store_fakes.hpp"
#include "support/temp_home.hpp"
#include "support/test_daemon.hpp"
#include "ui/app/approval_opener.hpp"
#include "ui/app/screen_context.hpp"
#include "ui/app/vardex_bar_app.hpp"
#include "ui/ports/qt_main_queue.hpp"
#include "ui/ports/qt_window_host.hpp"
#include "ui/screens/approval/approval_panel.hpp"
#include "ui/tray/menu_bar_status.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace ui = vardex::ui;
namespace vt = vardex::testing;

template <class Predicate>
bool spinUntil(Predicate done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

std::string requestLine(const std::string& id) {
    vardex::ApprovalRequest request;
    request.id = id;
    request.actionSummary = "sudo ls " + id;
    request.rule = "priv.sudo";
    request.severity = vardex::Severity::high;
    request.reasonUser = "Runs as administrator.";
    request.agent = {vardex::AgentKind::claude, "S", "/home/ana/project", false};
    return *vardex::encodeLine(vardex::IpcMessage::approvalRequest(request));
}

// The app's shell on the real Qt main queue, its store connected to a daemon on a real socket.
void BM_ApprovalLineToPanelShown(benchmark::State& state) {
    vt::TempHome home;
    const auto socket = home / "vardex.sock";
    vt::ScopedEnv socketEnv("VARDEX_SOCK", socket.string());
    vt::DaemonLines lines;
    vt::TestDaemon daemon(socket, lines.script());
    ui::QtMainQueue queue;
    vt::InlineBackground background;
    vt::MemoryPreferences preferences;
    vt::RecordingNotifier notifier;
    ui::QtWindowHost windows;
    vardex::ui::NoHelperModel helper;
    const vardex::StoreOptions options;
    auto store = vardex::VardexStore::make({queue, background, preferences, notifier, windows}, options);
    ui::StoreWatcher watcher(*store);
    ui::ScreenContext context{*store, watcher, preferences, helper};
    windows.setFactory(ui::WindowKind::approval, [&] { return std::make_unique<ui::ApprovalPanel>(context); });
    ui::ApprovalOpener opener(watcher);
    store->running.set(true);
    store->connectLoop();
    if (!spinUntil([&] { return store->connected; })) {
        state.SkipWithError("did not connect");
        lines.close();
        return;
    }
    long long next = 0;
    for (auto _ : state) {
        const std::string id = "r-" + std::to_string(++next);
        const QString summary = QString::fromStdString("sudo ls " + id);
        const auto start = Clock::now();
        lines.push(requestLine(id));
        const bool shown = spinUntil([&] {
            auto* panel = windows.existing(ui::WindowKind::approval);
            if (!panel || !panel->isVisible()) return false;
            auto* text = panel->findChild<QPlainTextEdit*>(QStringLiteral("approvalSummary"));
            return text && text->toPlainText() == summary;
        });
        const auto elapsed = Clock::now() - start;
        if (!shown) {
            state.SkipWithError("the panel did not show the question");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        store->answer(store->pending.front().request, vardex::ApprovalVerdict::deny);
        windows.existing(ui::WindowKind::approval)->hide();
        QCoreApplication::processEvents();
    }
    lines.close();
    windows.closeAll();
}
BENCHMARK(BM_ApprovalLineToPanelShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

// Building the whole app (ports, store, shell) until the tray holds the icon.
void BM_StartToTrayIconShown(benchmark::State& state) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        state.SkipWithError("no tray on this display");
        return;
    }
    vt::TempHome home;
    vt::ScopedEnv noAutostart("VARDEX_NO_AUTOSTART", "1");
    vt::ScopedEnv skipOnboarding("VARDEX_SKIP_ONBOARDING", "1");
    vt::ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    for (auto _ : state) {
        const auto start = Clock::now();
        auto app = std::make_unique<ui::VardexBarApp>();
        const bool shown = spinUntil([&] {
            auto* tray = app->status().tray();
            return tray && tray->isVisible() && tray->geometry().isValid();
        });
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!shown) state.SkipWithError("the icon never reached the tray");
        app.reset();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_StartToTrayIconShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// User plus system CPU time of this process, all its threads, in seconds.
double ownCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// `count` lines of today's activity, each a different command, written after the app's first run.
void writeActivityLog(int count) {
    const auto at = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()) + 2s;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char ts[32];
    std::strftime(ts, sizeof ts, "%FT%TZ", &utc);
    std::string text;
    for (int line = 0; line < count; ++line) {
        const bool denied = line % 3 == 0;
        text += std::string(R"({"ts":")") + ts + R"(","agent":")" + (line % 2 ? "claude" : "cursor") +
                R"(","session":"s1","action":{"raw":"ls folder-)" + std::to_string(line) + R"("},"decision":")" +
                (denied ? "deny" : "allow") + "\"" + (denied ? R"(,"rule_id":"destructive.rm_home_root")" : "") +
                R"(,"hash":"h)" + std::to_string(line) + "\"}\n";
    }
    const auto file = vardex::VardexPaths::auditLogURL();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// The app left alone with its main window open on a full activity page: the clock ticks every
// second and the store rereads its reports every fifteen; the page should cost next to nothing.
void BM_IdleActivityPageOpenFor30Seconds(benchmark::State& state) {
    vt::TempHome home;
    vt::ScopedEnv noAutostart("VARDEX_NO_AUTOSTART", "1");
    vt::ScopedEnv skipOnboarding("VARDEX_SKIP_ONBOARDING", "1");
    vt::ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    vt::ScopedEnv bin("VARDEX_BIN", VARDEX_ENGINE_EXE);
    vt::ScopedEnv noMenuOffer("VARDEX_SKIP_MOVE_PROMPT", "1");
    for (auto _ : state) {
        auto app = std::make_unique<ui::VardexBarApp>();
        writeActivityLog(300);
        auto& store = app->store();
        store.page = vardex::VardexPage::activity;
        store.openDashboardWindow();
        store.refreshAuditFeed();
        const bool shown = spinUntil([&] {
            auto* window = app->windows().existing(ui::WindowKind::dashboard);
            return window && window->isVisible() && !window->findChildren<QLabel*>(QStringLiteral("rowSentence")).isEmpty();
        });
        if (!shown) {
            state.SkipWithError("the activity page did not show its rows");
            break;
        }
        spinUntil([] { return false; }, 3s);  // start-up readings settle
        const double before = ownCpuSeconds();
        QEventLoop idle;
        QTimer::singleShot(30s, &idle, &QEventLoop::quit);
        idle.exec();
        state.counters["cpu_percent"] = (ownCpuSeconds() - before) / 30.0 * 100.0;
        state.SetIterationTime(30);
        app.reset();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_IdleActivityPageOpenFor30Seconds)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

// ---- the built app, idle and connected to the reference engine's daemon -----------------------

pid_t spawn(const std::vector<std::string>& argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// User plus system CPU time of the process, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14 || i == 15) ticks += std::stod(field);
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double residentMegabytes(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

bool statusSaysConnected(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return content.find("\"connected\":true") != std::string::npos;
}

void BM_IdleConnectedFor60Seconds(benchmark::State& state) {
    const std::string app = VARDEX_BAR_EXE;
    const std::string engine = VARDEX_ENGINE_EXE;
    vt::TempHome home;
    const auto statusFile = home / "status.json";
    vt::ScopedEnv status("VARDEX_STATUS_FILE", statusFile.string());
    vt::ScopedEnv noAutostart("VARDEX_NO_AUTOSTART", "1");
    vt::ScopedEnv skipOnboarding("VARDEX_SKIP_ONBOARDING", "1");
    vt::ScopedEnv skipConsent("VARDEX_SKIP_CONSENT", "1");
    vt::ScopedEnv bin("VARDEX_BIN", engine);
    for (auto _ : state) {
        const pid_t daemon = spawn({engine, "daemon", "--foreground"});
        std::this_thread::sleep_for(500ms);
        const pid_t bar = spawn({app});
        const auto connectedBy = Clock::now() + 10s;
        while (!statusSaysConnected(statusFile) && Clock::now() < connectedBy) std::this_thread::sleep_for(100ms);
        if (!statusSaysConnected(statusFile)) {
            state.SkipWithError("the app did not connect");
            stop(bar);
            stop(daemon);
            break;
        }
        std::this_thread::sleep_for(5s);  // start-up work settles
        const double cpuBefore = cpuSeconds(bar);
        std::this_thread::sleep_for(60s);
        const double cpu = cpuSeconds(bar) - cpuBefore;
        state.counters["rss_MB"] = residentMegabytes(bar);
        state.counters["cpu_percent"] = cpu / 60.0 * 100.0;
        state.SetIterationTime(60);
        stop(bar);
        stop(daemon);
    }
}
BENCHMARK(BM_IdleConnectedFor60Seconds)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    // Without a display the figures that need none still run; the tray figure is skipped.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
