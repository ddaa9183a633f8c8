#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "activity/audit_log_entry.hpp"
#include "activity/local_calendar.hpp"
#include "activity/log_head.hpp"
#include "activity/notice_policy.hpp"
#include "activity/receipt_data.hpp"
#include "bridge/agent_install_status.hpp"
#include "bridge/check_outcome.hpp"
#include "bridge/cli_result.hpp"
#include "bridge/doctor_report.hpp"
#include "bridge/protect_app_row.hpp"
#include "bridge/rules_catalog.hpp"
#include "policy/user_policy_file.hpp"
#include "policy/user_rule.hpp"
#include "protocol/approval.hpp"
#include "protocol/ipc_message.hpp"
#include "protocol/json_lines_client.hpp"
#include "service/mac_setup_status.hpp"
#include "service/protection_service.hpp"
#include "store/connection_worker.hpp"
#include "store/icon_state.hpp"
#include "store/pending_ask.hpp"
#include "store/policy_preview.hpp"
#include "store/running_flag.hpp"
#include "store/slice_revisions.hpp"
#include "store/store_ports.hpp"
#include "strings/vardex_page.hpp"

namespace vardex {

// The app's one observable state object. It lives on the main thread: every field is read and
// written there, and every operation is called there. Blocking work goes to the `Background`
// port and comes back through `MainQueue::post`, holding the store weakly so the results of a
// store that is gone are dropped. After every change of a published field the store calls
// `publish()`, which tells the observers (the tray icon and the windows redraw from it).
//
// The operations are split by concern over several files: store_startup.cpp (construction,
// start, tick, icon), store_connection.cpp (the daemon connection and approvals),
// store_protection.cpp (start/stop, pause, emergency stop, login), store_settings.cpp (the
// settings file and policy fields), store_notices.cpp (quiet hours and notifications),
// store_feed.cpp (activity feed, event log, export), store_engine.cpp (command-line runs, health
// report, log verification), store_agents.cpp (agent connection and auto-connect),
// store_policy.cpp (policy editing), store_check.cpp (trial checks), store_receipt.cpp.
class VardexStore : public std::enable_shared_from_this<VardexStore> {
public:
    // Builds every field and loads what the disk holds; starts nothing.
    static std::shared_ptr<VardexStore> make(StorePorts ports, StoreOptions options = {});
    VardexStore(const VardexStore&) = delete;
    VardexStore& operator=(const VardexStore&) = delete;
    // Stops the connection worker and waits for it.
    ~VardexStore();

    // ---- observers -------------------------------------------------------------------------
    using Observer = std::function<void()>;
    void addObserver(Observer observer);
    // Tells the observers that the named slices changed; without an argument, everything may have.
    void publish(StoreSlices changed = StoreSlices::all());
    // How far each slice has moved; screens compare these with what they drew from.
    const SliceRevisions& revisions() const { return revisions_; }
    // The main queue the store runs on; screens time their own short delays (an arming second)
    // on it, so they follow the same clock as the store's countdowns.
    MainQueue& queue() const { return ports_.queue; }

    // ---- start-up, clock, icon (store_startup.cpp) -----------------------------------------
    void start();
    void tick();
    VardexIconState iconState() const;
    // The automation command file named by VARDEX_COMMAND_FILE; returns at once without it.
    void pollCommandFile();

    // ---- connection and approvals (store_connection.cpp) -----------------------------------
    void connectLoop();
    void handle(const IpcMessage& message);
    void answer(const ApprovalRequest& request, ApprovalVerdict verdict);
    void respond(const ApprovalRequest& request, ApprovalVerdict verdict, const std::string& by);
    void openApprovalWindow();
    void openDashboardWindow() { ports_.windows.openDashboardWindow(); }
    void openLogWindow() { ports_.windows.openLogWindow(); }

    // ---- protection, pause, emergency stop, login (store_protection.cpp) --------------------
    void startProtection();
    void stopProtection();
    void confirmPauseForOneHour();
    void resumeProtection();
    bool isPaused() const;
    std::int64_t pauseRemainingSeconds() const;
    bool isProtectedNow() const;
    void persistPauseState();
    void loadPauseState();
    // What the status file holds: connection, pause, waiting questions, icon, errors.
    nlohmann::json statusObject() const;
    void writeStatusFile();
    void v3StopNow();
    void v3Resume();
    void v3StopRunningAgents();
    void uninstallAll();
    void setStartAtLogin(bool on);

    // ---- settings file (store_settings.cpp) ------------------------------------------------
    bool settingFlag(const std::string& key, bool defaultValue) const;
    void persistSetting(const std::string& key, bool value);
    bool firstLaunchCompleted() const;
    void persistFirstLaunchCompleted();
    bool shouldShowConnectConsent() const;
    void loadAutoConnectPrefs();
    void saveSettings();
    // Closes onboarding and records the first launch; opens the dashboard when `opening`.
    void skipOnboarding(bool opening);
    void rerunOnboarding();

    // ---- notices (store_notices.cpp) -------------------------------------------------------
    void loadNoticePolicy();
    void persistNoticePolicy();
    void noteDailyBlock();
    void notifyCanaryTrips();
    void notifyNetworkDeny();

    // ---- activity feed, event log, export (store_feed.cpp) ---------------------------------
    void insertFeed(const DecisionEvent& event);
    void logEvent(const std::string& event, const nlohmann::json& fields = nlohmann::json::object());
    void refreshAuditFeed();
    void mergeAuditIntoFeed(const std::vector<AuditLogEntry>& entries);
    std::vector<AuditLogEntry> filteredAuditEntries() const;
    std::vector<AuditLogEntry> v3TodayEntries() const;
    long long todayStoppedCount() const;
    long long todayAskedCount() const;
    long long todayCheckedCount() const;
    std::optional<AuditLogEntry> blockedDetailEntry() const;
    void v3Delete(const std::vector<std::string>& ids);
    void v3Undo();
    std::optional<TimePoint> v3Since();
    TimePoint firstRunAt();
    void exportLog();
    void writeExport(const std::filesystem::path& file);

    // ---- engine runs (store_engine.cpp) ----------------------------------------------------
    void runCli(const std::vector<std::string>& arguments, const std::string& busyLabel);
    void refreshDoctor();
    void verifyActivityLog();
    void installCommandLineTool();

    // ---- agents and auto-connect (store_agents.cpp) ----------------------------------------
    void startAutoConnectWatch();
    void scanAutoConnect();
    void noteConnectResult(const Result<CliResult, CliError>& result);
    void acceptConnectConsent();
    void setAutoProtectNew(bool on);
    void protectSelectedApps();
    void finishOnboarding();
    void fixIt();
    void fixAll();
    void disconnectAgent(AgentInstallRow::Kind kind);
    std::vector<AgentInstallRow> detectedCodingAgents() const;
    std::vector<AgentInstallRow> undetectedCodingAgents() const;
    std::vector<AgentInstallRow> appsNeedingFix() const;
    std::vector<AgentInstallRow> onboardingAppRows() const;
    void prepareOnboardingSelection();
    void refreshDashboard();
    void loadProtectApps();
    // The titles of the installed agent rows, in row order.
    std::vector<std::string> watchingNames() const;
    void openSetupLink(const std::string& link);

    // ---- policy editing (store_policy.cpp) -------------------------------------------------
    void persistPolicy();
    void addSite();
    void addCustomRule();
    void applyDefaultFolderGuards();
    void setProtect(const std::string& id, bool on);
    void addFolder(const std::string& path);
    void removeRule(const std::string& id);
    void setDisabled(const std::string& id, bool disabled);
    // The pages' way to change the policy: `edit` waits in `policyPreview` while the engine
    // replays the last 7 days of activity under the changed policy; `confirmPolicyPreview`
    // saves it (as `editPolicy` does), `cancelPolicyPreview` drops it. A new proposal replaces
    // one still waiting.
    void proposePolicyEdit(std::function<void(UserPolicyFile&)> edit, std::function<void(VardexStore&)> afterConfirm = {});
    void proposeCustomRule();
    void confirmPolicyPreview();
    void cancelPolicyPreview();
    // How often the same action as `request` was asked about over the last 7 days, by the
    // activity entries held.
    long long askedThisWeek(const ApprovalRequest& request) const;

    // ---- trial checks and receipt (store_check.cpp, store_receipt.cpp) ----------------------
    void runCheck();
    ReceiptData receiptData() const;
    // Saves the rendered receipt card: to `to` when given, else beside VARDEX_EXPORT_FILE, else
    // where the save panel says. Nothing drawn, a cancelled panel or a failed write change nothing.
    void exportReceiptPNG(const std::optional<std::filesystem::path>& to = std::nullopt);
    // Opens the user guide with the desktop's viewer (store_guide.cpp); a missing guide is said
    // in `lastMessage`.
    void openReadme(const std::filesystem::path& guide);

    // ======================================================================================
    // Published fields, by group, with their initial values.

    // Engine connection and approvals.
    std::vector<PendingAsk> pending;
    bool connected = false;
    // Why the program listening on the daemon's socket was not believed to be the daemon; set
    // while that lasts.
    std::optional<std::string> daemonUntrusted;
    // What the daemon last said about itself (its socket taken, ...).
    std::optional<std::string> daemonNotice;
    std::shared_ptr<JsonLinesClient> client;
    RunningFlag running;

    // Clock and pause.
    TimePoint now;
    std::optional<TimePoint> pausedUntil;
    bool confirmPause = false;

    // Activity.
    std::vector<DecisionEvent> feed;
    std::vector<AuditLogEntry> auditEntries;
    // The activity log's head as it was last read; the receipt carries it.
    std::optional<LogHead> auditHead;
    std::filesystem::path logURL;
    std::set<std::string> hiddenEntryIds;
    std::vector<std::string> v3UndoIds;
    std::optional<AgentKind> logAgentFilter;
    std::optional<Outcome> logDecisionFilter;
    std::string logSearch;
    std::optional<std::string> logVerifyMessage;
    // The engine is checking the activity log's chain.
    bool verifyingLog = false;
    std::optional<std::string> dailyBlockNote;
    bool exampleData = false;

    // Health.
    std::optional<DoctorReport> doctor;
    std::optional<std::string> doctorError;
    // The last line of the daemon's error log, read with each health report.
    std::optional<std::string> daemonLastError;
    std::optional<TimePoint> lastHealthCheck;
    bool refreshing = false;
    // A health report is being read.
    bool checkingHealth = false;
    bool fixingAll = false;
    bool startingProtection = false;
    std::optional<std::string> setupError;
    MacSetupStatus macSetup;

    // Agents and apps.
    std::vector<AgentInstallRow> agents;
    std::vector<ProtectAppRow> protectApps;
    bool autoProtectNew = true;
    bool showConnectConsent = false;
    bool agentsStopped = false;
    std::optional<std::string> v3StopMessage;
    bool v3ConfirmStopAgent = false;

    // Policy.
    UserPolicyFile userPolicy;
    RulesCatalog catalog;
    std::optional<std::string> policyError;
    std::optional<PolicyPreview> policyPreview;
    // Policy saves and protect switches are waiting for the engine; they run one at a time.
    bool savingPolicy = false;
    std::string askTimeoutText = "30";
    std::string askThresholdText = "0.70";
    std::string newDomain;
    std::string customId;
    std::string customDescription;
    UserRule::MatchKind customMatchKind = UserRule::MatchKind::program;
    std::string customMatchValue;
    std::string customDecision = "deny";
    std::string customSeverity = "medium";

    // Trial check.
    CheckKind checkKind = CheckKind::shell;
    std::string checkShell;
    std::string checkRead;
    std::string checkMcpServer;
    std::string checkMcpTool;
    std::string checkMcpJSON = "{}";
    CheckOutcome checkOutcome;

    // Notices.
    bool quietHoursEnabled = false;
    std::string quietHoursStart = "22:00";
    std::string quietHoursEnd = "08:00";
    NoticePolicy notice;
    std::string lastCanaryHash;
    CheckOutcome canaryOutcome;

    // Navigation and onboarding.
    VardexPage page = VardexPage::home;
    bool showOnboarding = false;
    int onboardingStep = 1;
    std::set<std::string> onboardingEnabled;
    std::vector<std::string> onboardingExtraNames;
    bool onboardingSSH = true;
    bool onboardingPasswords = true;
    bool onboardingCloud = true;
    bool onboardingDocuments = true;
    bool showHowItWorks = false;
    bool showAddAppList = false;
    bool showReceipt = false;
    std::optional<std::string> blockedDetailId;
    bool advancedOpen = false;
    bool confirmQuit = false;
    bool confirmUninstallAll = false;
    bool scrollProbeOverflow = false;
    int scrollProbeTick = 0;
    double scrollCaptureY = 0;

    // General.
    bool busy = false;
    std::optional<std::string> lastMessage;
    bool startAtLogin = true;
    // The login choice is being handed to the service manager.
    bool changingStartAtLogin = false;

private:
    VardexStore(StorePorts ports, StoreOptions options);
    void initialise();
    // Posts `work` to the main queue holding this store weakly: it runs only while the store lives.
    void postToMain(std::function<void(VardexStore&)> work);
    void postAfter(Seconds delay, std::function<void(VardexStore&)> work);
    void every(Seconds interval, std::function<void(VardexStore&)> work);
    // Runs `work` on the background port holding the store weakly (absent when it is gone).
    void inBackground(WorkPriority priority, std::function<void(std::weak_ptr<VardexStore>)> work);

    StorePorts ports_;
    StoreOptions options_;
    LogHeadTally auditHeadTally_;
    std::unique_ptr<ProtectionService> service_;
    std::vector<Observer> observers_;
    SliceRevisions revisions_;
    std::optional<TimePoint> firstRunAt_;
    // When `tick` last had the time zone read again.
    std::optional<TimePoint> zoneReadAt_;
    // Owns the thread that keeps the daemon connection; see connection_worker.hpp.
    std::unique_ptr<ConnectionWorker> connection_;

    // -- private to store_connection.cpp (only its owner edits this block) --
    void noteConnected(std::shared_ptr<JsonLinesClient> connectedClient);
    void noteDisconnected();
    void noteUntrusted(std::string why);
    // An approval request from the daemon: refused while paused, else asked once.
    void askUser(const ApprovalRequest& request);
    // Withdraws the notice of every question no longer waiting, however it went (answered here
    // or elsewhere, timed out, refused by a pause or a stop); run on every publish.
    void withdrawNoticesOfSettledAsks();
    // The questions whose notice is shown.
    std::set<std::string> noticedAsks_;

    // -- private to store_protection.cpp and store_settings.cpp (only its owner edits this block) --
    // The main-thread half of `startProtection`, once the service has answered.
    void finishStartingProtection(const Result<void, ServiceError>& outcome, bool skipLaunchctl);
    // The settings file as a JSON object; absent when it is missing, unreadable or not an object.
    // Every writer of the file reads it with this, changes its own keys and writes it back
    // whole with `writeSettingsObject`, so the other writers' keys survive.
    std::optional<nlohmann::json> readSettingsObject() const;
    // Creates the support folder and replaces the file atomically; failures are ignored.
    void writeSettingsObject(const nlohmann::json& settings) const;

    // -- private to store_feed.cpp, store_notices.cpp and store_engine.cpp (only its owner edits this block) --
    // `refreshDoctor`, then `then` once its report has been applied.
    void refreshDoctorThen(std::function<void(VardexStore&)> then);

    // -- private to store_agents.cpp, store_policy.cpp, store_check.cpp and store_receipt.cpp (only its owner edits this block) --
    // Applies `edit` to `userPolicy` when the saves before it have finished, then saves (see
    // persistPolicy); an empty edit saves as it is.
    void editPolicy(std::function<void(UserPolicyFile&)> edit);
    // Engine runs that change what the engine enforces (policy saves, protect switches) run one
    // at a time, in the order asked: `step` starts its run and ends with `startNextTurn()`.
    void runInTurn(std::function<void(VardexStore&)> step);
    void startNextTurn();
    std::deque<std::function<void(VardexStore&)>> turnsWaiting_;
    std::uint64_t previewsStarted_ = 0;
    // The custom rule the form describes, or nothing (with `policyError` set) when it is not one.
    std::optional<UserRule> customRuleFromForm();

    // Every reading of the engine's reports takes the next number, and is applied only when it
    // is newer than the last one applied, so a slow reading never puts older state back.
    std::uint64_t readingsStarted_ = 0;
    std::uint64_t doctorApplied_ = 0;
    std::uint64_t dashboardApplied_ = 0;
    int doctorReadingsRunning_ = 0;
    int dashboardReadingsRunning_ = 0;
    // Counts changes of the rules and of the login choice (edits asked for, saves started and
    // ended): a reading taken before a change holds what the disk said before it.
    std::uint64_t ruleChanges_ = 0;
    std::uint64_t loginChanges_ = 0;
    // The login choice asked for while another was being handed over; it goes next.
    std::optional<bool> loginWaiting_;

    // Runs `work` on the background port, then `apply(store, result)` on the main queue while
    // the store lives. The background side never holds the store, so the store is never
    // destroyed off the main thread.
    template <class Work, class Apply>
    void runThenApply(WorkPriority priority, Work work, Apply apply) {
        inBackground(priority, [&queue = ports_.queue, work = std::move(work),
                                apply = std::move(apply)](std::weak_ptr<VardexStore> weak) mutable {
            auto result = work();
            queue.post([weak = std::move(weak), result = std::move(result), apply]() mutable {
                if (const auto store = weak.lock()) apply(*store, std::move(result));
            });
        });
    }
    // A connect run in the background whose result is read by noteConnectResult; with
    // `thenRefresh` the dashboard is refreshed after it.
    void runConnect(WorkPriority priority, std::vector<std::string> arguments, bool thenRefresh);
    // The agent rows that are ours to show as coding agents, with those seen in the activity log.
    std::set<std::string> agentIdsSeenInLog() const;
};

}  // namespace vardex
