#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <thread>

#include "activity/notification_content.hpp"
#include "activity/v3_feed.hpp"
#include "bridge/protect_app_row.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/user_policy_file.hpp"
#include "service/start_at_login.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"

namespace vardex {

namespace {

// Busy labels of the agent buttons while their engine run is under way.
constexpr std::string_view connectingLabel = "Connecting…";
constexpr std::string_view disconnectingLabel = "Disconnecting…";
constexpr std::string_view nowProtectingPrefix = "Now protecting ";
constexpr std::ptrdiff_t dashboardAuditLimit = 50;
// In automation mode the repair only pretends, long enough for a capture of the busy state.
constexpr auto automationRepairPause = std::chrono::milliseconds(550);

bool envIsOne(std::string_view name) { return VardexPaths::env(name) == std::optional<std::string>("1"); }

std::string twoDecimals(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string installFlag(std::string_view id) { return "--" + std::string(id); }

// The agent id an activity-log line stands for, as the agent rows name them.
std::string_view rowIdFor(AgentKind kind) {
    switch (kind) {
        case AgentKind::cursor:
        case AgentKind::claude:
        case AgentKind::codex:
        case AgentKind::shim: return wireText(kind);
        case AgentKind::mcp: break;
    }
    return "mcp";
}

bool isCodingAgent(const AgentInstallRow& row) { return row.kind != AgentInstallRow::Kind::mcp; }

// What the engine reads back from one dashboard refresh, gathered off the main thread.
struct DashboardReading {
    Result<DoctorReport, DoctorClientError> doctor;
    std::vector<AuditLogEntry> entries;
    UserPolicyFile policy;
    Result<RulesCatalog, CliError> catalog;
    bool startAtLogin = true;
};

DashboardReading readDashboard() {
    return DashboardReading{DoctorClient::run(), AuditLogEntry::readRecent(VardexPaths::auditLogURL(), dashboardAuditLimit),
                            UserPolicyFile::loadFromHome(), RulesCatalog::load(),
                            loadStartAtLogin(VardexPaths::settingsURL())};
}

// A text the desktop can be asked to open: a scheme (a letter, then letters, digits, "+", "-"
// or "."), a colon, and no white space or control characters anywhere.
bool isOpenableURL(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const auto isAlpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (!isAlpha(text[0])) return false;
    for (const char c : text.substr(0, colon)) {
        if (!isAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

}  // namespace

// ---- auto-connect ------------------------------------------------------------------------

void VardexStore::startAutoConnectWatch() {
    every(Seconds(8.0), [](VardexStore& store) { store.scanAutoConnect(); });
    postAfter(Seconds(1.2), [](VardexStore& store) { store.scanAutoConnect(); });
}

void VardexStore::scanAutoConnect() {
    if (!settingFlag("connectConsented", false) && shouldShowConnectConsent()) return;
    if (!autoProtectNew) return;
    if (envIsOne("VARDEX_SKIP_ONBOARDING")) return;
    runConnect(WorkPriority::utility, {"connect", "--json"}, false);
}

void VardexStore::runConnect(WorkPriority priority, std::vector<std::string> arguments, bool thenRefresh) {
    runThenApply(
        priority, [arguments = std::move(arguments)] { return VardexCli::run(arguments); },
        [thenRefresh](VardexStore& store, Result<CliResult, CliError> result) {
            store.noteConnectResult(result);
            if (thenRefresh) store.refreshDashboard();
        });
}

void VardexStore::noteConnectResult(const Result<CliResult, CliError>& result) {
    if (!result) return;
    const auto object = nlohmann::json::parse(result->combined(), nullptr, false);
    if (!object.is_object()) return;
    if (const auto found = object.find("auto_protect_new"); found != object.end() && found->is_boolean()) {
        autoProtectNew = found->get<bool>();
    }
    if (const auto found = object.find("notifications"); found != object.end() && found->is_array() &&
        std::all_of(found->begin(), found->end(), [](const nlohmann::json& item) { return item.is_string(); })) {
        for (const auto& item : *found) {
            const auto& sentence = item.get_ref<const std::string&>();
            if (!sentence.starts_with(nowProtectingPrefix)) continue;
            ports_.notifier.post(VardexNotifications::nowProtecting(std::string_view(sentence).substr(nowProtectingPrefix.size())));
            lastMessage = sentence;
        }
    }
    publish();
}

void VardexStore::acceptConnectConsent() {
    showConnectConsent = false;
    persistSetting("connectConsented", true);
    persistFirstLaunchCompleted();
    publish();
    runConnect(WorkPriority::userInitiated, {"connect", "--consent", "--json"}, true);
}

void VardexStore::setAutoProtectNew(bool on) {
    autoProtectNew = on;
    persistSetting("autoProtectNew", on);
    if (on) persistSetting("connectConsented", true);
    publish();
    runConnect(WorkPriority::userInitiated, {"connect", "--auto-protect", on ? "on" : "off", "--json"}, true);
}

// ---- onboarding and repairs --------------------------------------------------------------

void VardexStore::protectSelectedApps() {
    startProtection();
    applyDefaultFolderGuards();
    const auto chosen = onboardingEnabled;
    busy = true;
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [chosen] {
            for (const std::string_view id : {"cursor", "claude", "codex"}) {
                if (chosen.contains(std::string(id))) (void)VardexCli::run({"install", installFlag(id)});
            }
            return true;
        },
        [](VardexStore& store, bool) {
            store.busy = false;
            store.refreshDashboard();
            store.onboardingStep = 3;
            store.publish();
        });
}

void VardexStore::finishOnboarding() {
    applyDefaultFolderGuards();
    skipOnboarding(false);
    if (!envIsOne("VARDEX_NO_AUTOSTART")) startProtection();
    ports_.windows.openDashboardWindow();
}

void VardexStore::fixIt() {
    if (!connected) {
        startProtection();
        return;
    }
    const auto row = std::find_if(agents.begin(), agents.end(), [](const AgentInstallRow& candidate) {
        return isCodingAgent(candidate) && candidate.detected && !candidate.installed;
    });
    if (row != agents.end()) runCli({"install", installFlag(row->id)}, std::string(connectingLabel));
}

void VardexStore::fixAll() {
    fixingAll = true;
    lastMessage = std::string(UIStrings::repairing);
    std::vector<std::string> ids;
    for (const auto& row : appsNeedingFix()) ids.push_back(row.id);
    const bool automation = VardexPaths::env("VARDEX_CAPTURE_DIR").has_value();
    if (!automation) startProtection();
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [ids, automation] {
            if (automation) {
                std::this_thread::sleep_for(automationRepairPause);
            } else if (ids.empty()) {
                (void)VardexCli::run({"install", "--all"});
            } else {
                for (const auto& id : ids) (void)VardexCli::run({"install", installFlag(id)});
            }
            return true;
        },
        [](VardexStore& store, bool) {
            store.fixingAll = false;
            store.lastMessage = std::string(UIStrings::repairFinished);
            store.refreshDashboard();
            store.publish();
        });
}

void VardexStore::disconnectAgent(AgentInstallRow::Kind kind) {
    runCli({"connect", "--disconnect", std::string(wireText(kind))}, std::string(disconnectingLabel));
}

// ---- derived lists -----------------------------------------------------------------------

std::set<std::string> VardexStore::agentIdsSeenInLog() const {
    std::set<std::string> seen;
    for (const auto& entry : auditEntries) {
        if (!V3Feed::isInternalSession(unicode::lowercased(entry.session))) seen.emplace(rowIdFor(entry.agent));
    }
    return seen;
}

std::vector<AgentInstallRow> VardexStore::detectedCodingAgents() const {
    const auto seen = agentIdsSeenInLog();
    std::vector<AgentInstallRow> rows;
    for (const auto& row : agents) {
        if ((isCodingAgent(row) && row.detected) || seen.contains(row.id)) rows.push_back(row);
    }
    return rows;
}

std::vector<AgentInstallRow> VardexStore::undetectedCodingAgents() const {
    std::vector<AgentInstallRow> rows;
    std::copy_if(agents.begin(), agents.end(), std::back_inserter(rows),
                 [](const AgentInstallRow& row) { return isCodingAgent(row) && !row.detected; });
    return rows;
}

std::vector<AgentInstallRow> VardexStore::appsNeedingFix() const {
    auto rows = detectedCodingAgents();
    std::erase_if(rows, [](const AgentInstallRow& row) { return row.installed; });
    return rows;
}

std::vector<AgentInstallRow> VardexStore::onboardingAppRows() const {
    std::vector<AgentInstallRow> rows;
    for (const auto& row : detectedCodingAgents()) {
        if (row.detected || onboardingEnabled.contains(row.id)) rows.push_back(row);
    }
    const auto named = [&](const std::string& lowered) {
        const auto sameTitle = [&](const AgentInstallRow& row) { return unicode::lowercased(row.title) == lowered; };
        return std::any_of(agents.begin(), agents.end(), sameTitle) || std::any_of(rows.begin(), rows.end(), sameTitle);
    };
    for (const auto& name : onboardingExtraNames) {
        auto lowered = unicode::lowercased(name);
        if (named(lowered)) continue;
        rows.push_back({std::move(lowered), name, true, false, "", AgentInstallRow::Kind::cursor});
    }
    return rows;
}

void VardexStore::prepareOnboardingSelection() {
    // The selection is taken from the rows already on screen; the refresh lands later.
    const auto before = agents;
    refreshDashboard();
    if (!onboardingEnabled.empty()) return;
    for (const auto& row : before) {
        if (isCodingAgent(row) && row.detected) onboardingEnabled.insert(row.id);
    }
    publish();
}

std::vector<std::string> VardexStore::watchingNames() const {
    std::vector<std::string> names;
    for (const auto& row : agents) {
        if (row.installed) names.push_back(row.title);
    }
    return names;
}

// ---- dashboard ---------------------------------------------------------------------------

void VardexStore::refreshDashboard() {
    refreshing = true;
    publish();
    runThenApply(WorkPriority::userInitiated, readDashboard, [](VardexStore& store, DashboardReading reading) {
        if (reading.doctor) {
            store.doctor = std::move(reading.doctor.value());
            store.doctorError.reset();
        } else {
            store.doctor.reset();
            store.doctorError = reading.doctor.error().description;
        }
        store.auditEntries = std::move(reading.entries);
        store.mergeAuditIntoFeed(store.auditEntries);
        store.exampleData = false;
        store.agents = AgentInstallStatus::load(store.doctor);
        store.userPolicy = std::move(reading.policy);
        if (reading.catalog) {
            store.catalog = std::move(reading.catalog.value());
            store.askTimeoutText = std::to_string(store.catalog.defaults.askTimeoutSeconds);
            store.askThresholdText = twoDecimals(store.catalog.defaults.askThreshold);
        }
        store.startAtLogin = reading.startAtLogin;
        store.macSetup = MacSetupStatus::probe();
        store.loadProtectApps();
        store.notifyCanaryTrips();
        store.notifyNetworkDeny();
        store.lastHealthCheck = store.ports_.queue.now();
        store.refreshing = false;
        store.publish();
    });
}

void VardexStore::loadProtectApps() {
    protectApps = ProtectApps::load();
    publish();
}

void VardexStore::openSetupLink(const std::string& link) {
    if (isOpenableURL(link)) (void)ports_.windows.openURL(link);
    macSetup = MacSetupStatus::probe();
    macSetup.networkFilter = false;
    loadProtectApps();
    notifyCanaryTrips();
    notifyNetworkDeny();
    publish();
}

}  // namespace vardex
