#include <cmath>
#include <utility>

#include "bridge/agent_stop.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/text_file.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"

namespace vardex {

namespace {

constexpr auto pauseLength = std::chrono::seconds(3600);
constexpr int pauseMinutes = 60;

bool envIsOne(std::string_view name) { return VardexPaths::env(name) == std::optional<std::string>("1"); }

nlohmann::json textOrNull(const std::optional<std::string>& text) { return text ? nlohmann::json(*text) : nlohmann::json(); }

// Whole seconds and the fraction are converted apart, so a time such as x.25 is written as
// exactly that and read back as the same moment.
double secondsSince1970(TimePoint when) {
    const auto whole = std::chrono::floor<std::chrono::seconds>(when);
    return static_cast<double>(whole.time_since_epoch().count()) + std::chrono::duration<double>(when - whole).count();
}

// Absent for a moment the clock cannot hold, so a record from a broken writer reads as no pause.
std::optional<TimePoint> timeFromSecondsSince1970(double seconds) {
    using Clock = std::chrono::system_clock;
    const double limit = std::chrono::duration<double>(Clock::duration::max()).count() - 1;
    if (!std::isfinite(seconds) || std::fabs(seconds) >= limit) return std::nullopt;
    const double whole = std::floor(seconds);
    const auto fraction = std::chrono::round<Clock::duration>(std::chrono::duration<double>(seconds - whole));
    return TimePoint(std::chrono::seconds(static_cast<std::int64_t>(whole))) + fraction;
}

// The service's own failures have their sentences; the system's get the caller's general one.
std::string sentenceFor(const ServiceError& error, std::string_view general) {
    return error.protection() ? error.protection()->description() : std::string(general);
}

// Texts from the engine may hold bytes that are not UTF-8; they are replaced rather than
// costing the whole file.
std::string compactJSON(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

void VardexStore::startProtection() {
    startingProtection = true;
    setupError.reset();
    const bool skipLaunchctl = envIsOne("VARDEX_SKIP_LAUNCHCTL");
    publish();
    inBackground(WorkPriority::userInitiated, [skipLaunchctl](std::weak_ptr<VardexStore> weak) {
        // The service lives inside the store, so the store is kept for as long as the start
        // runs; the outcome task lets it go on the main thread, never on this one.
        auto store = weak.lock();
        if (!store) return;
        auto outcome = store->service_->start();
        auto& queue = store->ports_.queue;
        queue.post([store = std::move(store), outcome = std::move(outcome), skipLaunchctl] {
            store->finishStartingProtection(outcome, skipLaunchctl);
        });
    });
}

void VardexStore::finishStartingProtection(const Result<void, ServiceError>& outcome, bool skipLaunchctl) {
    startingProtection = false;
    if (outcome) {
        setupError.reset();
        refreshDoctorThen([skipLaunchctl](VardexStore& store) {
            store.logEvent("start_protection", {{"skip_launchctl", skipLaunchctl ? "1" : "0"}});
        });
    } else {
        setupError = sentenceFor(outcome.error(), UIStrings::cannotTurnProtectionOn);
    }
    publish();
}

void VardexStore::stopProtection() {
    busy = true;
    publish();
    inBackground(WorkPriority::userInitiated, [](std::weak_ptr<VardexStore> weak) {
        auto store = weak.lock();
        if (!store) return;
        store->service_->stop();
        auto& queue = store->ports_.queue;
        queue.post([store = std::move(store)] {
            store->busy = false;
            store->connected = false;
            store->lastMessage = std::string(UIStrings::protectionOff);
            store->refreshDoctor();
            store->publish();
        });
    });
}

void VardexStore::confirmPauseForOneHour() {
    confirmPause = false;
    pausedUntil = ports_.queue.now() + pauseLength;
    persistPauseState();
    logEvent("pause", {{"minutes", pauseMinutes}, {"reason", "user"}});
    const auto waiting = std::exchange(pending, {});
    for (const auto& ask : waiting) respond(ask.request, ApprovalVerdict::deny, options_.approver);
    publish();
}

void VardexStore::resumeProtection() {
    if (agentsStopped) v3Resume();
    pausedUntil.reset();
    persistPauseState();
    publish();
}

bool VardexStore::isPaused() const { return pausedUntil && *pausedUntil > now; }

std::int64_t VardexStore::pauseRemainingSeconds() const {
    if (!pausedUntil) return 0;
    const auto left = std::chrono::ceil<std::chrono::seconds>(*pausedUntil - now).count();
    return left > 0 ? left : 0;
}

bool VardexStore::isProtectedNow() const { return connected && !isPaused() && !watchingNames().empty(); }

void VardexStore::persistPauseState() {
    const auto record = VardexPaths::pauseStateURL();
    (void)VardexPaths::ensureDirectory(record.parent_path());
    if (pausedUntil && *pausedUntil > ports_.queue.now()) {
        (void)writeTextFileAtomically(record, nlohmann::json{{"until", secondsSince1970(*pausedUntil)}}.dump());
    } else {
        std::error_code ignored;
        std::filesystem::remove(record, ignored);
    }
}

void VardexStore::loadPauseState() {
    const auto text = readFileBytes(VardexPaths::pauseStateURL());
    if (!text) return;
    const auto record = nlohmann::json::parse(*text, nullptr, false);
    if (!record.is_object()) return;
    const auto until = record.find("until");
    if (until == record.end() || !until->is_number()) return;
    const auto end = timeFromSecondsSince1970(until->get<double>());
    if (end && *end > ports_.queue.now()) pausedUntil = end;
}

nlohmann::json VardexStore::statusObject() const {
    const auto icon = iconState();
    return nlohmann::json{
        {"connected", connected},
        {"paused", isPaused()},
        {"pending", pending.size()},
        {"feed", feed.size()},
        {"icon", wireText(icon)},
        {"title", iconTitle(icon)},
        {"starting", startingProtection},
        {"doctorError", textOrNull(doctorError)},
        {"setupError", textOrNull(setupError)},
    };
}

void VardexStore::writeStatusFile() {
    const auto path = VardexPaths::env("VARDEX_STATUS_FILE");
    if (!path) return;
    (void)writeTextFileAtomically(*path, compactJSON(statusObject()));
}

void VardexStore::v3StopNow() {
    const auto waiting = pending;
    for (const auto& ask : waiting) answer(ask.request, ApprovalVerdict::deny);
    if (AgentStop::stop(AgentStop::flagURL(), ports_.queue.now())) {
        agentsStopped = true;
        v3StopMessage = std::string(UIStrings::v3Stopped);
    } else {
        v3StopMessage = std::string(waiting.empty() ? UIStrings::noPending : UIStrings::stoppedNothingAllowed);
    }
    v3ConfirmStopAgent = true;
    logEvent("stop", {{"count", waiting.size()}, {"flag", agentsStopped}});
    publish();
}

void VardexStore::v3Resume() {
    const auto flag = AgentStop::flagURL();
    (void)AgentStop::resume(flag);
    agentsStopped = AgentStop::isStopped(flag);
    v3ConfirmStopAgent = false;
    if (!agentsStopped) v3StopMessage = std::string(UIStrings::resumedChecking);
    logEvent("resume");
    publish();
}

void VardexStore::v3StopRunningAgents() {
    v3ConfirmStopAgent = false;
    const int closed = AgentStop::terminate(AgentStop::runningAgents());
    v3StopMessage = UIStrings::v3ClosedAgents(closed);
    logEvent("stop_agents", {{"count", closed}});
    publish();
}

void VardexStore::uninstallAll() {
    confirmUninstallAll = false;
    lastMessage = std::string(UIStrings::disconnecting);
    busy = true;
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [limit = options_.engineTimeLimit] {
            auto outcome = VardexCli::run({"uninstall"}, std::nullopt, limit);
            // The MCP entries are removed as well, whatever became of the first run.
            if (const auto engine = VardexPaths::vardexBinary()) {
                (void)VardexCli::runBinary(*engine, {"uninstall", "--mcp"}, std::nullopt, limit);
            }
            return outcome;
        },
        [](VardexStore& store, Result<CliResult, CliError> outcome) {
            store.busy = false;
            if (!outcome) {
                store.lastMessage = outcome.error().description();
            } else {
                const auto words = outcome->combined();
                store.lastMessage = words.empty() ? std::string(UIStrings::runFinished) : words;
            }
            store.publish();
            store.refreshDashboard();
        });
}

void VardexStore::setStartAtLogin(bool on) {
    startAtLogin = on;
    ++loginChanges_;
    if (changingStartAtLogin) {
        // One hand-over at a time, so the service manager ends up with the last choice made.
        loginWaiting_ = on;
        publish();
        return;
    }
    changingStartAtLogin = true;
    publish();
    inBackground(WorkPriority::userInitiated, [on](std::weak_ptr<VardexStore> weak) {
        // As in `startProtection`: the service lives inside the store, which the outcome task
        // lets go of on the main thread.
        auto store = weak.lock();
        if (!store) return;
        auto outcome = store->service_->setStartAtLogin(on);
        auto& queue = store->ports_.queue;
        queue.post([store = std::move(store), outcome = std::move(outcome), on] {
            ++store->loginChanges_;
            store->changingStartAtLogin = false;
            if (const auto next = std::exchange(store->loginWaiting_, std::nullopt); next && *next != on) {
                store->setStartAtLogin(*next);
                return;
            }
            if (outcome) {
                store->lastMessage = std::string(on ? UIStrings::willStartAtLogin : UIStrings::willNotStartAtLogin);
            } else {
                store->setupError = sentenceFor(outcome.error(), UIStrings::cannotChangeLogin);
            }
            store->publish();
        });
    });
}

}  // namespace vardex
