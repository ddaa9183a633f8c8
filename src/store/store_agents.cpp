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
        case AgentKind::gemini:
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
    std::vector<ProtectAppRow> protectApps;
    MacSetupStatus macSetup;
    // The agent rows as that health report and the disk show them.
    std::vector<AgentInstallRow> agents;
};

DashboardReading readDashboard(std::chrono::milliseconds limit) {
    auto reading = DashboardReading{DoctorClient::run(limit),
                            AuditLogEntry::readRecent(VardexPaths::auditLogURL(), dashboardAuditLimit),
                            UserPolicyFile::loadFromHome(),
                            RulesCatalog::load(limit),
                            loadStartAtLogin(VardexPaths::settingsURL()),
                            ProtectApps::load(limit),
                            MacSetupStatus::probe(),
                            {}};
    reading.agents = AgentInstallStatus::load(reading.doctor ? std::optional(reading.doctor.value()) : std::nullopt);
    return reading;
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
        priority,
        [arguments = std::move(arguments), limit = options_.engineTimeLimit] {
            return VardexCli::run(arguments, std::nullopt, limit);
        },
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
        [chosen, limit = options_.engineTimeLimit] {
            for (const std::string_view id : {"cursor", "claude", "codex", "gemini"}) {
                if (chosen.contains(std::string(id))) (void)VardexCli::run({"install", installFlag(id)}, std::nullopt, limit);
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
    if (row != agents.end()) runCli({"install", installFlag(row->id)}, std::string(UIStrings::connecting));
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
        [ids, automation, limit = options_.engineTimeLimit] {
            if (automation) {
                std::this_thread::sleep_for(automationRepairPause);
            } else if (ids.empty()) {
                (void)VardexCli::run({"install", "--all"}, std::nullopt, limit);
            } else {
                for (const auto& id : ids) (void)VardexCli::run({"install", installFlag(id)}, std::nullopt, limit);
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
    runCli({"connect", "--disconnect", std::string(wireText(kind))}, std::string(UIStrings::disconnecting));
}

// ---- derived lists -----------------------------------------------------------------------

std::set<std::string> VardexStore::agentIdsSeenInLog() const {
    std::set<std::string> seen;
    for (const auto& entry : auditEntries) {
        if (!entry.unreadable && !V3Feed::isInternalSession(unicode::lowercased(entry.session))) seen.emplace(rowIdFor(entry.agent));
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
    // A tool server alone protects no agent's shell.
    for (const auto& row : agents) {
        if (row.installed && isCodingAgent(row)) names.push_back(row.title);
    }
    return names;
}

// ---- dashboard ---------------------------------------------------------------------------

void VardexStore::refreshDashboard() {
    const auto reading = ++readingsStarted_;
    const auto ruleChangesAtRead = ruleChanges_;
    const auto loginChangesAtRead = loginChanges_;
    ++dashboardReadingsRunning_;
    refreshing = true;
    publish();
    runThenApply(
        WorkPriority::userInitiated, [limit = options_.engineTimeLimit] { return readDashboard(limit); },
        [reading, ruleChangesAtRead, loginChangesAtRead](VardexStore& store, DashboardReading read) {
            store.refreshing = --store.dashboardReadingsRunning_ > 0;
            if (reading <= store.dashboardApplied_) {
                store.publish();
                return;
            }
            store.dashboardApplied_ = reading;
            if (reading > store.doctorApplied_) {
                store.doctorApplied_ = reading;
                if (read.doctor) {
                    store.doctor = std::move(read.doctor.value());
                    store.doctorError.reset();
                } else {
                    store.doctor.reset();
                    store.doctorError = read.doctor.error().description;
                }
            }
            store.auditEntries = std::move(read.entries);
            store.mergeAuditIntoFeed(store.auditEntries);
            store.exampleData = false;
            store.agents = std::move(read.agents);
            // What the disk said before an edit (or a save still under way) must not undo it.
            const bool rulesSettled = store.ruleChanges_ == ruleChangesAtRead && !store.savingPolicy;
            if (rulesSettled) {
                store.userPolicy = std::move(read.policy);
                store.protectApps = std::move(read.protectApps);
            }
            if (rulesSettled && read.catalog) {
                store.catalog = std::move(read.catalog.value());
                store.askTimeoutText = std::to_string(store.catalog.defaults.askTimeoutSeconds);
                store.askThresholdText = twoDecimals(store.catalog.defaults.askThreshold);
            }
            if (store.loginChanges_ == loginChangesAtRead && !store.changingStartAtLogin) {
                store.startAtLogin = read.startAtLogin;
            }
            store.macSetup = read.macSetup;
            store.notifyCanaryTrips();
            store.notifyNetworkDeny();
            store.lastHealthCheck = store.ports_.queue.now();
            store.publish();
        });
}

void VardexStore::loadProtectApps() {
    const auto ruleChangesAtRead = ruleChanges_;
    runThenApply(
        WorkPriority::utility, [limit = options_.engineTimeLimit] { return ProtectApps::load(limit); },
        [ruleChangesAtRead](VardexStore& store, std::vector<ProtectAppRow> rows) {
            if (store.ruleChanges_ != ruleChangesAtRead || store.savingPolicy) return;
            store.protectApps = std::move(rows);
            store.publish();
        });
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
