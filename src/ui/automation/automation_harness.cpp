#include "ui/automation/automation_harness.hpp"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <map>
#include <regex>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "bridge/vardex_paths.hpp"
#include "protocol/protocol_json.hpp"
#include "store/vardex_store.hpp"
#include "ui/app/shell_surfaces.hpp"
#include "ui/automation/command_words.hpp"
#include "ui/automation/widget_actions.hpp"
#include "ui/widgets/qt_text.hpp"
#include "ui/widgets/store_watcher.hpp"

namespace vardex::ui {

namespace {

using Clock = std::chrono::steady_clock;
// A trial check runs the engine once; it gets the engine's own time limit and a little more.
constexpr auto checkLimit = std::chrono::seconds(35);

std::optional<double> readSeconds(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value >= 0 && value <= 3600)) return std::nullopt;
    return value;
}

std::optional<std::size_t> readCount(std::string_view text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string joined(const std::vector<std::string>& words, std::size_t from) {
    std::string text;
    for (std::size_t i = from; i < words.size(); ++i) {
        if (i > from) text += ' ';
        text += words[i];
    }
    return text;
}

}  // namespace

AutomationHarness::AutomationHarness(std::filesystem::path commandFile, std::optional<std::filesystem::path> captureDir,
                                     ShellSurfaces& shell)
    : file_(std::move(commandFile)), captureDir_(std::move(captureDir)), shell_(shell) {
    pace_.setInterval(100);
    QObject::connect(&pace_, &QTimer::timeout, &pace_, [this] { poll(); });
    pace_.start();
}

bool AutomationHarness::homeIsSafe() {
    const auto home = VardexPaths::env("HOME");
    if (!home) return false;
    std::vector<char> buffer(16384);
    passwd account{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &account, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) return false;
    std::error_code error;
    const auto ours = std::filesystem::weakly_canonical(*home, error);
    const auto accounts = std::filesystem::weakly_canonical(found->pw_dir, error);
    return !ours.empty() && ours != accounts;
}

void AutomationHarness::poll() {
    if (!store_) return;
    if (auto lines = file_.take()) {
        queue_.insert(queue_.end(), lines->begin(), lines->end());
    } else {
        report(Json(nullptr), Reply{false, lines.error(), std::nullopt});
    }
    runQueued();
}

void AutomationHarness::runQueued() {
    if (wait_) {
        if (wait_->done()) {
            report(wait_->command, wait_->finish());
        } else if (Clock::now() >= wait_->deadline) {
            report(wait_->command, Reply{false, wait_->timeoutError, std::nullopt});
        } else {
            return;
        }
        wait_.reset();
    }
    while (!queue_.empty() && !wait_) {
        const std::string line = std::move(queue_.front());
        queue_.pop_front();
        const auto words = splitWords(line);
        if (!words) {
            report(line, Reply{false, words.error(), std::nullopt});
            continue;
        }
        if (words->empty()) continue;
        // The screens redraw what the commands before this one did, and lay it out, before it
        // looks at them.
        watcher_->flush();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        if (auto reply = run(*words)) report(line, *reply);
        else wait_->command = line;
    }
}

std::optional<AutomationHarness::Reply> AutomationHarness::run(const std::vector<std::string>& words) {
    VardexStore& store = *store_;
    const std::string& name = words[0];
    const auto argc = words.size() - 1;
    const auto usage = [&](std::string_view form) { return Reply{false, "usage: " + name + " " + std::string(form), std::nullopt}; };
    const auto outcome = [](const Result<void, std::string>& done) {
        return done ? Reply{} : Reply{false, done.error(), std::nullopt};
    };

    if (name == "open-popover" || name == "close-popover") {
        if (argc != 0) return usage("");
        const bool done = name == "open-popover" ? shell_.open("popover") : shell_.close("popover");
        return done ? Reply{} : Reply{false, "the popover cannot be shown", std::nullopt};
    }
    if (name == "open-window" || name == "close-window") {
        if (argc != 1 || (words[1] != "dashboard" && words[1] != "log" && words[1] != "approval")) return usage("dashboard|log|approval");
        const bool done = name == "open-window" ? shell_.open(words[1]) : shell_.close(words[1]);
        return done ? Reply{} : Reply{false, "the window " + words[1] + " cannot be shown", std::nullopt};
    }
    if (name == "page") {
        const auto page = argc == 1 ? parseWireText<VardexPage>(words[1]) : std::nullopt;
        if (!page) return usage("home|activity|protection|settings|rules|check|doctor|log|about|...");
        store.page = *page;
        store.publish();
        return Reply{};
    }
    if (name == "click") return argc == 1 ? outcome(WidgetActions::click(words[1])) : usage("OBJECTNAME");
    if (name == "toggle") return argc == 1 ? outcome(WidgetActions::toggle(words[1])) : usage("OBJECTNAME");
    if (name == "type") return argc >= 1 ? outcome(WidgetActions::type(words[1], joined(words, 2))) : usage("OBJECTNAME TEXT");
    if (name == "select") return argc >= 2 ? outcome(WidgetActions::select(words[1], joined(words, 2))) : usage("OBJECTNAME TEXT");
    if (name == "answer") {
        const auto verdict = argc == 2 ? parseWireText<ApprovalVerdict>(words[2]) : std::nullopt;
        if (!verdict) return usage("first|ID allow_once|allow_session|always_allow|deny");
        const auto found = std::find_if(store.pending.begin(), store.pending.end(), [&](const PendingAsk& ask) {
            return words[1] == "first" || ask.request.id == words[1];
        });
        if (found == store.pending.end()) return Reply{false, "no waiting question " + words[1], std::nullopt};
        const ApprovalRequest request = found->request;
        store.answer(request, *verdict);
        return Reply{true, {}, Json{{"id", request.id}}};
    }
    static const std::map<std::string, void (VardexStore::*)()> storeCommands{
        {"pause", &VardexStore::confirmPauseForOneHour},
        {"resume", &VardexStore::resumeProtection},
        {"stop-agents", &VardexStore::v3StopNow},
        {"resume-agents", &VardexStore::v3Resume},
    };
    if (const auto command = storeCommands.find(name); command != storeCommands.end() && argc == 0) {
        (store.*command->second)();
        return Reply{};
    }
    if (name == "protection") {
        if (argc != 1 || (words[1] != "on" && words[1] != "off")) return usage("on|off");
        words[1] == "on" ? store.startProtection() : store.stopProtection();
        return Reply{};
    }
    if (argc == 0 && name == "refresh") {
        store.refreshDoctor();
        store.refreshAuditFeed();
        store.refreshDashboard();
        return Reply{};
    }
    if (name == "check") return check(words);
    if (name == "export-log") {
        if (argc != 1) return usage("PATH");
        store.writeExport(words[1]);
        return Reply{true, {}, Json{{"message", store.lastMessage.value_or("")}}};
    }
    if (name == "export-receipt") {
        if (argc != 1) return usage("PATH");
        store.exportReceiptPNG(std::filesystem::path(words[1]));
        return Reply{true, {}, Json{{"message", store.lastMessage.value_or("")}}};
    }
    if (name == "capture") return argc == 1 ? capture(words[1]) : usage("NAME");
    if (argc == 0 && name == "state") return Reply{true, {}, state()};
    if (name == "wait-until") {
        const auto seconds = argc == 2 ? readSeconds(words[2]) : std::nullopt;
        const std::string& condition = argc >= 1 ? words[1] : name;
        std::function<bool()> done;
        if (condition == "connected") {
            done = [&store] { return store.connected; };
        } else if (condition == "idle") {
            // Nothing in flight: no engine run, no replay, no save, no service change.
            done = [&store] {
                return !store.busy && !store.refreshing && !store.fixingAll && !store.startingProtection &&
                       !store.checkingHealth && !store.savingPolicy && !store.verifyingLog &&
                       !store.changingStartAtLogin && !(store.policyPreview && store.policyPreview->running);
            };
        } else if (condition.starts_with("pending>=")) {
            if (const auto count = readCount(std::string_view(condition).substr(9))) {
                done = [&store, count = *count] { return store.pending.size() >= count; };
            }
        }
        if (!done || !seconds) return usage("connected|idle|pending>=N SECONDS");
        if (done()) return Reply{};
        wait_ = Wait{Json(), std::move(done), [] { return Reply{}; },
                     Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*seconds)),
                     "still not " + condition + " after " + words[2] + " s"};
        return std::nullopt;
    }
    if (argc == 0 && name == "quit") {
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        return Reply{};
    }
    return Reply{false, "unknown command " + name + " (or wrong number of words)", std::nullopt};
}

std::optional<AutomationHarness::Reply> AutomationHarness::check(const std::vector<std::string>& words) {
    VardexStore& store = *store_;
    const auto kind = words.size() >= 2 ? parseWireText<CheckKind>(words[1]) : std::nullopt;
    if (!kind || (*kind == CheckKind::mcp && words.size() < 4) || (*kind != CheckKind::mcp && words.size() < 3)) {
        return Reply{false, "usage: check shell COMMAND | check read PATH | check mcp SERVER TOOL [JSON]", std::nullopt};
    }
    store.checkKind = *kind;
    switch (*kind) {
        case CheckKind::shell: store.checkShell = joined(words, 2); break;
        case CheckKind::read: store.checkRead = joined(words, 2); break;
        case CheckKind::mcp:
            store.checkMcpServer = words[2];
            store.checkMcpTool = words[3];
            store.checkMcpJSON = words.size() > 4 ? joined(words, 4) : "{}";
            break;
    }
    store.runCheck();
    wait_ = Wait{Json(), [&store] { return !store.busy; },
                 [&store] {
                     const auto& outcome = store.checkOutcome;
                     Json result{{"exit_code", outcome.exitCode}};
                     if (outcome.decision) result["decision"] = json_form::toJson(*outcome.decision);
                     if (outcome.error) return Reply{false, *outcome.error, result};
                     return Reply{true, {}, result};
                 },
                 Clock::now() + checkLimit, "the check did not finish"};
    return std::nullopt;
}

AutomationHarness::Reply AutomationHarness::capture(const std::string& name) const {
    static const std::regex allowed("[A-Za-z0-9_-]+");
    if (!std::regex_match(name, allowed)) return Reply{false, "a capture name is letters, digits, - and _ only", std::nullopt};
    if (!captureDir_) return Reply{false, "VARDEX_CAPTURE_DIR is not set", std::nullopt};
    Json files = Json::array();
    for (const auto& surface : shell_.shown()) {
        QWidget* widget = surface.widget;
        QPixmap image(widget->size() * 2);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        widget->render(&image);
        const auto file = *captureDir_ / (name + "-" + surface.name + ".png");
        if (!image.save(QString::fromStdString(file.string()), "PNG")) {
            return Reply{false, "cannot write " + file.string(), std::nullopt};
        }
        files.push_back(file.string());
    }
    return Reply{true, {}, files};
}

nlohmann::json AutomationHarness::state() const {
    Json pending = Json::array();
    for (const auto& ask : store_->pending) pending.push_back(ask.request.id);
    // The surface that has the keyboard's focus, as the window system reports it.
    Json active;
    for (const auto& surface : shell_.shown()) {
        if (surface.widget->isActiveWindow()) active = surface.name;
    }
    return Json{{"status", store_->statusObject()},
                {"pending", pending},
                {"page", std::string(wireText(store_->page))},
                {"active", active},
                {"platform", QGuiApplication::platformName().toStdString()}};
}

void AutomationHarness::report(const Json& command, const Reply& reply) const {
    Json line{{"command", command}, {"ok", reply.ok}, {"error", reply.ok ? Json(nullptr) : Json(reply.error)}};
    if (reply.result) line["result"] = *reply.result;
    file_.report(line);
}

}  // namespace vardex::ui
