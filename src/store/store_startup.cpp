#include <cstdio>

#include "bridge/agent_stop.hpp"
#include "bridge/home_migration.hpp"
#include "bridge/vardex_paths.hpp"
#include "store/vardex_store.hpp"

namespace vardex {

namespace {

// Quiet hours and "today" follow the zone the computer is in now, within a minute.
constexpr auto zoneRereadInterval = std::chrono::seconds(60);

bool envIsOne(std::string_view name) { return VardexPaths::env(name) == std::optional<std::string>("1"); }

std::string twoDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

std::shared_ptr<VardexStore> VardexStore::make(StorePorts ports, StoreOptions options) {
    std::shared_ptr<VardexStore> store(new VardexStore(ports, std::move(options)));
    store->initialise();
    return store;
}

VardexStore::VardexStore(StorePorts ports, StoreOptions options)
    : now(ports.queue.now()),
      protectApps(ProtectAppRow::catalog()),
      ports_(ports),
      options_(std::move(options)),
      service_(std::make_unique<ProtectionService>(options_.service)) {}

VardexStore::~VardexStore() {
    // Before any field goes: the worker reads `running` until it is joined.
    connection_.reset();
}

void VardexStore::initialise() {
    if (const auto hidden = ports_.preferences.value("v3HiddenEntries")) {
        if (const auto* ids = std::get_if<std::vector<std::string>>(&*hidden)) hiddenEntryIds.insert(ids->begin(), ids->end());
    }
    agentsStopped = AgentStop::isStopped(AgentStop::flagURL());

    // Before anything is read: files an earlier build kept in another layout move in first.
    const auto moved = moveEarlierLayoutsOfThisHome();
    (void)VardexPaths::ensureDirectory(VardexPaths::logsDirectory());
    logURL = VardexPaths::logsDirectory() / "vardex-bar.jsonl";
    if (!moved.moved.empty() || !moved.keptBack.empty()) {
        nlohmann::json movedPaths = nlohmann::json::array();
        for (const auto& path : moved.moved) movedPaths.push_back(path.string());
        logEvent("moved_earlier_files", {{"moved", movedPaths}, {"kept_back", moved.keptBack}});
    }
    loadPauseState();
    startAtLogin = service_->loadStartAtLogin();
    userPolicy = UserPolicyFile::loadFromHome();
    if (userPolicy.askTimeoutSeconds) askTimeoutText = std::to_string(*userPolicy.askTimeoutSeconds);
    if (userPolicy.askThreshold) askThresholdText = twoDecimals(*userPolicy.askThreshold);
    loadNoticePolicy();
    loadAutoConnectPrefs();
    showOnboarding = envIsOne("VARDEX_SKIP_ONBOARDING") ? false : !firstLaunchCompleted();
    showConnectConsent = shouldShowConnectConsent();
    page = VardexPage::home;
}

void VardexStore::addObserver(Observer observer) { observers_.push_back(std::move(observer)); }

void VardexStore::publish(StoreSlices changed) {
    revisions_.bump(changed);
    withdrawNoticesOfSettledAsks();
    for (const auto& observer : observers_) observer();
}

void VardexStore::postToMain(std::function<void(VardexStore&)> work) {
    ports_.queue.post([weak = weak_from_this(), work = std::move(work)] {
        if (const auto store = weak.lock()) work(*store);
    });
}

void VardexStore::postAfter(Seconds delay, std::function<void(VardexStore&)> work) {
    ports_.queue.postAfter(delay, [weak = weak_from_this(), work = std::move(work)] {
        if (const auto store = weak.lock()) work(*store);
    });
}

void VardexStore::every(Seconds interval, std::function<void(VardexStore&)> work) {
    ports_.queue.every(interval, [weak = weak_from_this(), work = std::move(work)] {
        if (const auto store = weak.lock()) work(*store);
    });
}

void VardexStore::inBackground(WorkPriority priority, std::function<void(std::weak_ptr<VardexStore>)> work) {
    ports_.background.run(priority, [weak = weak_from_this(), work = std::move(work)] { work(weak); });
}

void VardexStore::start() {
    if (running.testAndSet()) return;

    postAfter(Seconds(0.2), [](VardexStore& store) { store.ports_.windows.offerMoveToApplications(); });
    if (!envIsOne("VARDEX_NO_AUTOSTART") && !showOnboarding) startProtection();
    refreshDoctor();
    refreshAuditFeed();
    refreshDashboard();
    ports_.notifier.requestAuthorization();
    connectLoop();
    writeStatusFile();
    startAutoConnectWatch();
    every(Seconds(1.0), [](VardexStore& store) { store.tick(); });
    every(Seconds(15.0), [](VardexStore& store) {
        store.refreshDoctor();
        store.refreshAuditFeed();
    });
    const bool openWindows = envIsOne("VARDEX_OPEN_WINDOWS");
    if (showOnboarding && !openWindows) {
        postAfter(Seconds(0.3), [](VardexStore& store) {
            store.page = VardexPage::home;
            store.publish();
            store.ports_.windows.openDashboardWindow();
        });
    }
    if (openWindows) {
        postAfter(Seconds(0.3), [](VardexStore& store) {
            store.ports_.windows.openDashboardWindow();
            store.ports_.windows.openLogWindow();
        });
    }
    publish();
}

void VardexStore::tick() {
    now = ports_.queue.now();
    if (!zoneReadAt_ || now - *zoneReadAt_ >= zoneRereadInterval || now < *zoneReadAt_) {
        options_.calendar.rereadZone();
        zoneReadAt_ = now;
    }
    const bool pauseEnded = pausedUntil && *pausedUntil <= now;
    if (pauseEnded) {
        pausedUntil.reset();
        persistPauseState();
    }
    std::vector<PendingAsk> expired;
    std::vector<PendingAsk> waiting;
    for (auto& ask : pending) (ask.deadline <= now ? expired : waiting).push_back(std::move(ask));
    pending = std::move(waiting);
    for (const auto& ask : expired) respond(ask.request, ApprovalVerdict::deny, "timeout");
    writeStatusFile();
    pollCommandFile();
    // Most seconds only the clock moved: screens move their countdowns, not their rows.
    publish(pauseEnded || !expired.empty() ? StoreSlices::all() : StoreSlices{StoreSlice::clock});
}

VardexIconState VardexStore::iconState() const { return iconStateFor(isPaused(), isProtectedNow(), !pending.empty()); }

void VardexStore::pollCommandFile() {
    if (!VardexPaths::env("VARDEX_COMMAND_FILE") || !ports_.automation) return;
    ports_.automation->poll();
}

}  // namespace vardex
