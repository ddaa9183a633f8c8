#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/agent_context.hpp"
#include "protocol/decision.hpp"
#include "strings/platform_words.hpp"
#include "strings/risk_story.hpp"
#include "strings/vardex_page.hpp"

// Every word the user sees. Screens, notifications, store messages and the explainer's
// fallbacks read from here; nothing user-facing is written inline elsewhere.
namespace vardex::UIStrings {

inline constexpr std::string_view product = "Vardex";
inline constexpr std::string_view shortName = "Vardex";

inline constexpr std::string_view activityEmpty = "Nothing yet.";
inline constexpr std::string_view activityEmptyWhy = "When an AI app does something, you'll see it here.";
inline constexpr std::string_view activityList = "Activity list";
inline constexpr std::string_view activityWhy = "Everything your AI apps tried, newest first.";
inline constexpr std::string_view addAnotherApp = "Add another app";
inline constexpr std::string_view addCustomRule = "Add your own rule";
inline constexpr std::string_view addCustomRuleWhy = "Block or ask about something Vardex doesn't check yet.";
inline constexpr std::string_view addFolder = "Add folder";
inline constexpr std::string_view addRule = "Add rule";
inline constexpr std::string_view addSite = "Add site";
inline constexpr std::string_view advanced = "Advanced";
inline constexpr std::string_view advancedTechnical = "Advanced (technical)";
inline constexpr std::string_view agent = "App";
inline constexpr std::string_view agentFoundNotConnected = "Found, but not connected yet.";
inline constexpr std::string_view agentMissing = "Not installed";
inline constexpr std::string_view aiTools = "AI apps";
inline constexpr std::string_view all = "All";
inline constexpr std::string_view allGood = "All good";
inline constexpr std::string_view allowOnce = "Allow once";
inline constexpr std::string_view allowOnceHint = "You'll be asked again next time.";
inline constexpr std::string_view allowThisTime = "Allow this time";
inline constexpr std::string_view allowUntilQuit = "Allow until this AI app closes";
inline constexpr std::string_view allowed = "Allowed";
inline constexpr std::string_view alwaysAllow = "Always allow";
inline constexpr std::string_view alwaysAllowWhy = "Never ask again for this exact action.";
// Before a change to the user's policy is saved: what it would have decided differently.
inline constexpr std::string_view replayRunning = "Checking what this change would have done over the last 7 days…";
inline constexpr std::string_view replayNothing = "Over the last 7 days this would have changed nothing.";
inline constexpr std::string_view replayUnavailable = "Vardex could not work out what this change would have done.";
inline constexpr std::string_view replayConfirm = "Save change";
inline constexpr std::string_view approvalNeeded = "Needs your answer";
inline constexpr std::string_view appsNeedFix = "Some apps need a fix";
inline constexpr std::string_view askThreshold = "Caution level";
inline constexpr std::string_view askThresholdNumberError = "The caution level must be a number between 0 and 1.";
inline constexpr std::string_view askThresholdRangeError = "The caution level must be between 0 and 1.";
inline constexpr std::string_view askThresholdWhy = "Lower means Vardex asks you more often.";
inline constexpr std::string_view askTimeout = "Waiting time";
inline constexpr std::string_view askTimeoutError = "Waiting time must be a whole number of seconds.";
inline constexpr std::string_view askTimeoutWhy = "If you don't answer in time, the action is blocked.";
inline constexpr std::string_view askedYou = "Asked you";
inline constexpr std::string_view autoProtectNewAgents = "Automatically protect new AI agents";
inline constexpr std::string_view autoProtectNewAgentsWhy = "When a supported app is installed, Vardex connects it and tells you. Turn this off to leave new apps alone.";
inline constexpr std::string_view beatGuardsPasswords = "Guards your passwords and keys.";
inline constexpr std::string_view beatStopsDeletes = "Stops risky deletes.";
inline constexpr std::string_view binaryMissing = "Part of Vardex is missing. Please reinstall it from the download.";
inline constexpr std::string_view block = "Block";
inline constexpr std::string_view blocked = "Blocked";
inline constexpr std::string_view breakdownFlagged = "Vardex flagged this part";
inline constexpr std::string_view breakdownHeading = "How Vardex read it";
inline constexpr std::string_view canaryDetectionOnly = "Detection only: Vardex notices a canary file change but does not block it.";
inline constexpr std::string_view cancel = "Cancel";
inline constexpr std::string_view cannotChangeLogin = "Could not change the login setting.";
inline constexpr std::string_view cannotStartProtection = "Could not start protection.";
inline constexpr std::string_view cannotStopProtection = "Could not stop protection.";
inline constexpr std::string_view cannotTurnProtectionOn = "Could not turn protection on. Try again.";
inline constexpr std::string_view checkHealth = "Check health";
inline constexpr std::string_view checkKindRead = "File";
inline constexpr std::string_view checkKindShell = "Command";
inline constexpr std::string_view checkKindTool = "Tool";
inline constexpr std::string_view checkNeedsPath = "Type a file path to test.";
inline constexpr std::string_view checkNeedsShell = "Type a command to test.";
inline constexpr std::string_view checkNeedsTool = "Type a tool name to test.";
inline constexpr std::string_view checkWhy = "Nothing runs. Vardex only tells you what it would do.";
inline constexpr std::string_view checkedJustNow = "Checked just now";
inline constexpr std::string_view cliInstallFailed = "Could not install the command-line tool.";
inline constexpr std::string_view cliInstalled = "Command-line tool installed.";
inline constexpr std::string_view comingSoonApple = "Apple apps";
inline constexpr std::string_view comingSoonAppleWhy = "Protection for Apple's own AI features is coming later.";
inline constexpr std::string_view connectApp = "Connect";
inline constexpr std::string_view connectConsentAction = "Connect my AI apps";
inline constexpr std::string_view connectConsentTitle = "Vardex will connect to your AI agents";
inline constexpr std::string_view connecting = "Connecting…";
inline constexpr std::string_view connectWhy = "Connecting lets Vardex check what this app does before it happens.";
inline constexpr std::string_view connectWhyPrefix = "Connect ";
inline constexpr std::string_view connectWhySuffix = " so Vardex can check what it does.";
inline constexpr std::string_view connectedFound = "Connected";
inline constexpr std::string_view connectedTo = "Connected to ";
inline constexpr std::string_view countdown = "seconds left · then this is blocked";
inline constexpr std::string_view countdownBlocked = "Time's up. This was blocked.";
inline constexpr std::string_view dataSentNone = "Your data sent: none";
inline constexpr std::string_view decision = "Decision";
inline constexpr std::string_view deny = "Deny";
inline constexpr std::string_view details = "Details";
inline constexpr std::string_view disconnectApp = "Disconnect";
inline constexpr std::string_view disconnecting = "Disconnecting…";
inline constexpr std::string_view done = "Done";
inline constexpr std::string_view dropLast = "Remove last";
inline constexpr std::string_view engineTimedOut = "Vardex did not answer in time. Try again in a moment.";
// `export` is a keyword.
inline constexpr std::string_view export_ = "Export";
inline constexpr std::string_view filePath = "File path";
inline constexpr std::string_view fixAll = "Fix all";
inline constexpr std::string_view fixIt = "Fix it";
inline constexpr std::string_view fixNow = "Fix now";
inline constexpr std::string_view flagEndpointSecurity = "File watching";
inline constexpr std::string_view flagEndpointSecurityWhy = "Lets Vardex see file actions that skip the other layers.";
inline constexpr std::string_view flagNetworkFilter = "Network filter";
inline constexpr std::string_view flagNetworkFilterWhy = "Lets Vardex stop AI apps from opening unknown websites.";
inline constexpr std::string_view flagUnavailable = "Not available in this version";
inline constexpr std::string_view folderCloud = "Cloud drives";
inline constexpr std::string_view folderCloudWhy = "Your synced files stay out of reach.";
inline constexpr std::string_view folderDocuments = "Documents";
inline constexpr std::string_view folderDocumentsWhy = "Your personal papers stay private.";
inline constexpr std::string_view folderPasswords = "Password files";
inline constexpr std::string_view folderPasswordsWhy = "Saved passwords and keys stay locked.";
inline constexpr std::string_view folderSSH = "Server keys";
inline constexpr std::string_view folderSSHWhy = "The keys that log you into servers stay locked.";
inline constexpr std::string_view foldersHeading = "Protected folders";
inline constexpr std::string_view foldersWhy = "AI apps can't read or change these folders.";
inline constexpr std::string_view freeNetwork = "Zero network connections.";
inline constexpr std::string_view healthRepairWhy = "Repair reconnects your apps and restarts protection.";
inline constexpr std::string_view healthUnavailable = "Health is not available yet.";
inline constexpr std::string_view healthUnavailableFile = "Health is not available yet. Turn protection on first.";
inline constexpr std::string_view healthWhy = "See that every part of Vardex is working.";
inline constexpr std::string_view howItWorks = "How it works";
inline constexpr std::string_view installCLI = "Install command-line tool";
inline constexpr std::string_view installing = "Installing…";
inline constexpr std::string_view keepBlocked = "Keep blocked";
inline constexpr std::string_view latestStopped = "Latest stopped risk";
inline constexpr std::string_view locked = "Locked";
inline constexpr std::string_view logCountSeparator = " · ";
inline constexpr std::string_view logVerify = "Check that the activity log hasn't been changed";
inline constexpr std::string_view logVerifyWhy = "Confirms nobody has edited the activity list.";
inline constexpr std::string_view loginItemFailed = "Could not set Vardex to start at login.";
inline constexpr std::string_view macSetupFullDiskAccessWhy = "Needed so Vardex can see the files AI apps try to use.";
inline constexpr std::string_view macSetupNetworkFilter = "Network filter is not on";
inline constexpr std::string_view macSetupNetworkFilterWhy = "Website filtering is not turned on in this version.";
inline constexpr std::string_view macSetupSystemExtension = "Allow the Vardex system extension";
inline constexpr std::string_view macSetupSystemExtensionWhy = "The system extension is included. Network filtering is not turned on in this version.";
inline constexpr std::string_view mainTagline = "AI should work for you, not worry you.";
inline constexpr std::string_view matchPath = "File";
inline constexpr std::string_view matchProgram = "Program";
inline constexpr std::string_view matchRaw = "Command";
inline constexpr std::string_view navAbout = "About";
inline constexpr std::string_view navActivity = "Activity";
inline constexpr std::string_view navActivityWhy = "What your AI apps tried today, and what was stopped.";
inline constexpr std::string_view navCheck = "Test an action";
inline constexpr std::string_view navCheckWhy = "Try a command safely to see what Vardex would do.";
inline constexpr std::string_view navHealth = "Check health";
inline constexpr std::string_view navHealthWhy = "Make sure every AI app is connected and protected.";
inline constexpr std::string_view navHome = "Home";
inline constexpr std::string_view navHomeWhy = "See if you're protected right now.";
inline constexpr std::string_view navProtection = "Protection";
inline constexpr std::string_view navProtectionWhy = "Choose which folders and sites AI apps can't touch.";
inline constexpr std::string_view navRawLog = "Full activity list";
inline constexpr std::string_view navRawLogWhy = "Every decision, with the time and the app.";
inline constexpr std::string_view navRules = "Safety rules";
inline constexpr std::string_view navRulesWhy = "The checks Vardex runs on actions it can see.";
inline constexpr std::string_view navSettings = "Settings";
inline constexpr std::string_view networkNoneBadge = "Network: none";
inline constexpr std::string_view noDecisionReturned = "Vardex gave no answer. Try again.";
inline constexpr std::string_view noDecisionsYet = "No decisions yet.";
inline constexpr std::string_view noFolders = "No protected folders yet.";
inline constexpr std::string_view noPending = "Nothing is waiting right now.";
inline constexpr std::string_view noSites = "No blocked sites yet.";
inline constexpr std::string_view noStoppedYet = "Nothing stopped yet.";
inline constexpr std::string_view none = "None";
inline constexpr std::string_view notConnectedTo = "Not connected to ";
inline constexpr std::string_view notProtected = "Not protected";
inline constexpr std::string_view notificationsWhy = "Vardex tells you when something needs your answer.";
inline constexpr std::string_view notifyAskTitle = "Needs your answer";
inline constexpr std::string_view notifyBlockedTitle = "Something was blocked";
inline constexpr std::string_view notifyCanaryBody = "Detection only. Vardex noticed a canary file change. It did not block the file action.";
inline constexpr std::string_view notifyCanaryTitle = "Canary file was touched";
inline constexpr std::string_view notifyNetworkDenyBody = "An AI app was stopped from opening a blocked or unknown website.";
inline constexpr std::string_view notifyNetworkDenyTitle = "Network filter blocked a site";
inline constexpr std::string_view nowProtectingExample = "Now protecting Cursor";
inline constexpr std::string_view off = "Off";
inline constexpr std::string_view offTurnOn = "Protection is off. Turn it on?";
inline constexpr std::string_view on = "On";
inline constexpr std::string_view onDeviceFooter = "100% on-device · Your data sent: none";
inline constexpr std::string_view checking = "Checking…";
inline constexpr std::string_view checkReceiptTitle = "Check a receipt";
inline constexpr std::string_view checkReceiptWhy =
    "Each daily receipt ends with the activity log's head: how many entries it held and the start of the last "
    "one's fingerprint. To check that the log still holds what the receipt says, run this in a terminal:";
inline constexpr std::string_view onboardingCanary = "Set a tripwire";
inline constexpr std::string_view onboardingCanaryButton = "Add canary file";
inline constexpr std::string_view onboardingCanaryWhy = "A canary file tells you if anything touches it.";
inline constexpr std::string_view onboardingContinue = "Continue";
inline constexpr std::string_view onboardingFinish = "Finish";
inline constexpr std::string_view onboardingFolders = "Pick folders to protect";
inline constexpr std::string_view onboardingFoldersWhy = "AI apps won't be able to touch them.";
inline constexpr std::string_view onboardingProtect = "Protect your AI apps";
inline constexpr std::string_view onboardingProtectWhy = "Vardex checks each app's actions before they happen.";
inline constexpr std::string_view onboardingSkip = "Skip";
inline constexpr std::string_view onboardingStepApps = "Apps";
inline constexpr std::string_view onboardingStepFolders = "Folders";
inline constexpr std::string_view onboardingStepWatch = "Watch";
inline constexpr std::string_view onboardingSuccess = "You're set up";
inline constexpr std::string_view onboardingSuccessWhy = "Vardex is watching. You'll hear from it only when it matters.";
inline constexpr std::string_view onboardingWelcome = "Welcome";
inline constexpr std::string_view openActivity = "Open activity";
inline constexpr std::string_view openVardex = "Open Vardex";
inline constexpr std::string_view openGuide = "Open guide";
inline constexpr std::string_view openSettings = "Open Settings";
inline constexpr std::string_view openWindow = "Open window";
inline constexpr std::string_view openedReadme = "Opened the guide.";
inline constexpr std::string_view partlyProtected = "Partly protected";
inline constexpr std::string_view pauseConfirm = "Pause for 1 hour? Waiting requests will be blocked.";
inline constexpr std::string_view pauseForOneHour = "Pause for 1 hour";
inline constexpr std::string_view paused = "Paused";
inline constexpr std::string_view pausedBackOn = "Protection is back on.";
inline constexpr std::string_view pausedLeft = " left";
inline constexpr std::string_view pausedRemaining = "Back on in ";
inline constexpr std::string_view pendingRequests = "Waiting for you";
inline constexpr std::string_view policySaved = "Safety rules saved.";
inline constexpr std::string_view policyWriteFailed = "Could not write the policy file.";
inline constexpr std::string_view possibleConnections = "Possible connections";
inline constexpr std::string_view promptPending = "Needs your answer";
inline constexpr std::string_view protectPrompt = "Turn on protection for your AI apps?";
inline constexpr std::string_view protectTheseApps = "Protect these apps";
inline constexpr std::string_view protectThisApp = "Protect this app";
inline constexpr std::string_view protectThisAppWhy = "Vardex checks this app's actions before they happen.";
// `protected` is a keyword.
inline constexpr std::string_view protected_ = "Protected";
inline constexpr std::string_view protectionOff = "Protection is off.";
inline constexpr std::string_view protectionOn = "Protection is on.";
inline constexpr std::string_view protectionDidNotStart = "Protection did not start. Try Turn on protection again.";
inline constexpr std::string_view protectionPageWhy = "Folders and sites here are off limits to AI apps.";
inline constexpr std::string_view protectionService = "Background protection";
inline constexpr std::string_view protectionStopped = "Protection stopped.";
inline constexpr std::string_view quietHours = "Quiet hours";
inline constexpr std::string_view quietHoursEnd = "Until";
inline constexpr std::string_view quietHoursStart = "From";
inline constexpr std::string_view quietHoursWhy = "No blocked-action notices during these hours. Questions still reach you.";
inline constexpr std::string_view quit = "Quit";
inline constexpr std::string_view quitVardex = "Quit Vardex";
inline constexpr std::string_view quitConfirm = "Quit? Your AI apps won't be protected until you open it again.";
inline constexpr std::string_view readmeMissing = "The guide is missing. Please reinstall Vardex.";
inline constexpr std::string_view recentDecisions = "Recent decisions";
inline constexpr std::string_view reconnectApp = "Reconnect";
inline constexpr std::string_view refresh = "Refresh";
inline constexpr std::string_view remove = "Remove";
inline constexpr std::string_view removing = "Removing…";
inline constexpr std::string_view repair = "Repair";
inline constexpr std::string_view repairFinished = "Repair finished.";
inline constexpr std::string_view repairing = "Repairing…";
inline constexpr std::string_view rerunSetup = "Run setup again";
inline constexpr std::string_view resume = "Resume";
inline constexpr std::string_view resumedChecking = "Resumed. Vardex is checking again.";
inline constexpr std::string_view ruleIdError = "Give the rule a short name such as my.rule";
inline constexpr std::string_view ruleNamePlaceholder = "my.rule";
inline constexpr std::string_view ruleValueError = "Say what this rule should watch.";
inline constexpr std::string_view ruleWhatPlaceholder = "What to watch, such as rm -rf";
inline constexpr std::string_view rulesWhy = "Vardex checks every action it can see against these rules.";
inline constexpr std::string_view runCheck = "Test it";
inline constexpr std::string_view runFinished = "Done.";
inline constexpr std::string_view safetyRules = "Safety rules";
inline constexpr std::string_view save = "Save";
inline constexpr std::string_view search = "Search";
inline constexpr std::string_view searchPlaceholder = "Search activity";
inline constexpr std::string_view secondsLeft = "seconds left";
inline constexpr std::string_view seeAll = "See all";
inline constexpr std::string_view saving = "Saving…";
inline constexpr std::string_view settingsWhy = "Choose how Vardex starts, waits and tells you things.";
inline constexpr std::string_view setupBody = "A few permissions let Vardex see more. You can do this later.";
inline constexpr std::string_view setupFullDiskAccess = "Grant Full Disk Access";
inline constexpr std::string_view setupFullDiskAccessWhy = "Lets Vardex read the activity of every app.";
inline constexpr std::string_view setupMacLayersWhy = "Optional layers that catch actions the hooks can't see.";
inline constexpr std::string_view setupNetworkFilter = "Turn on the network filter";
inline constexpr std::string_view setupNetworkFilterWhy = "Stops AI apps from opening unknown websites.";
inline constexpr std::string_view setupStep1 = "Turn on protection.";
inline constexpr std::string_view setupStep2 = "Connect your AI apps.";
inline constexpr std::string_view setupStep3 = "Keep working. Vardex asks when it matters.";
inline constexpr std::string_view setupSystemExtension = "Allow the system extension";
inline constexpr std::string_view setupSystemExtensionWhy = "Lets Vardex watch file actions directly.";
inline constexpr std::string_view setupTitle = "Finish setting up";
inline constexpr std::string_view shellCommand = "Command";
inline constexpr std::string_view sitePlaceholder = "example.com";
inline constexpr std::string_view sitesHeading = "Blocked websites";
inline constexpr std::string_view sitesWhy = "AI apps can't open these sites.";
inline constexpr std::string_view skipSetup = "Skip setup";
inline constexpr std::string_view spawnFailedPrefix = "Could not run Vardex. ";
inline constexpr std::string_view startAtLogin = "Start at login";
inline constexpr std::string_view startAtLoginWhy = "Protection starts when you log in.";
inline constexpr std::string_view starting = "Starting…";
inline constexpr std::string_view statChecked = "Checked";
inline constexpr std::string_view statStopped = "Stopped";
inline constexpr std::string_view statWaiting = "Waiting";
inline constexpr std::string_view stoppedNothingAllowed = "Stopped. Nothing was allowed.";
inline constexpr std::string_view toolDetails = "Tool details (JSON)";
inline constexpr std::string_view toolName = "Tool";
inline constexpr std::string_view toolServer = "Server";
inline constexpr std::string_view toolsConnected = "Connected apps";
inline constexpr std::string_view toolsFound = "Apps found";
inline constexpr std::string_view toolsMissing = "Apps not found";
inline constexpr std::string_view trustHeading = "Why you can trust Vardex";
inline constexpr std::string_view turnOffProtection = "Turn off protection";
inline constexpr std::string_view turnOn = "Turn on";
inline constexpr std::string_view turnOnProtection = "Turn on protection";
inline constexpr std::string_view uninstall = "Uninstall";
inline constexpr std::string_view uninstallConfirm = "Remove Vardex's protection from your AI apps?";
inline constexpr std::string_view uninstallProtection = "Remove protection";
inline constexpr std::string_view uninstallWhy = "Disconnects every app. Your activity log is kept.";
inline constexpr std::string_view v2AgentAll = "All apps";
inline constexpr std::string_view v2Agents = "Apps";
inline constexpr std::string_view v2AgentsConnected = "Apps connected";
inline constexpr std::string_view v2AllFilter = "All";
inline constexpr std::string_view v2Allowed = "Allowed";
inline constexpr std::string_view v2Asked = "Asked";
inline constexpr std::string_view v2AskedToday = "Asked today";
inline constexpr std::string_view v2Back = "Back";
inline constexpr std::string_view v2Blocked = "Blocked";
inline constexpr std::string_view v2BlockedToday = "Blocked today";
inline constexpr std::string_view v2Checked = "Checked";
inline constexpr std::string_view v2Connect = "Connect";
inline constexpr std::string_view v2Continue = "Continue";
inline constexpr std::string_view v2CopyDetails = "Copy details";
inline constexpr std::string_view v2DailyReceipt = "DAILY RECEIPT";
inline constexpr std::string_view v2ExampleData = "Example data";
inline constexpr std::string_view v2ExportCSV = "Export";
inline constexpr std::string_view v2ExportPNG = "Export PNG";
inline constexpr std::string_view v2Exported = "Saved receipt image";
inline constexpr std::string_view v2HooksOn = "Hooks on";
inline constexpr std::string_view v2KeepBlocked = "Keep blocked";
inline constexpr std::string_view v2Latest = "Latest";
inline constexpr std::string_view v2LogFootnote = "Every line is chained to the one before, so changes show.";
inline constexpr std::string_view v2McpProxyOn = "Tool proxy on";
inline constexpr std::string_view v2NavActivity = "Activity";
inline constexpr std::string_view v2NavAgents = "Apps";
inline constexpr std::string_view v2NavHome = "Home";
inline constexpr std::string_view v2NavRules = "Rules";
inline constexpr std::string_view v2NavSettings = "Settings";
inline constexpr std::string_view v2NoCatch = "Nothing needed blocking today.";
inline constexpr std::string_view v2NoDecisions = "No decisions yet today.";
inline constexpr std::string_view v2NotConnected = "Not connected";
inline constexpr std::string_view v2Open = "Open Vardex";
inline constexpr std::string_view v2Pause = "Pause 1 hour";
inline constexpr std::string_view v2RecentDecisions = "Recent decisions";
inline constexpr std::string_view v2Rule = "Rule";
inline constexpr std::string_view v2SearchActions = "Search actions";
inline constexpr std::string_view v2ShowReceipt = "Today's receipt";
inline constexpr std::string_view v2Step1 = "Turn on protection";
inline constexpr std::string_view v2Step2 = "Connect your apps";
inline constexpr std::string_view v2Step3 = "Work as usual";
inline constexpr std::string_view v2Today = "Today";
inline constexpr std::string_view v2TopCatch = "Top catch";
inline constexpr std::string_view v2TryBody = "Type a command and see what Vardex would do. Nothing runs.";
inline constexpr std::string_view v2TryResult = "Vardex would";
inline constexpr std::string_view v2TryRun = "Try it";
inline constexpr std::string_view v2TryTitle = "Try a command";
inline constexpr std::string_view v2VerifyLog = "Check the log";
inline constexpr std::string_view v2WhatAgentTried = "What the app tried";
inline constexpr std::string_view v2WhatWeFound = "What we found";
inline constexpr std::string_view v3Activity = "Activity";
inline constexpr std::string_view v3Allow = "Allow";
inline constexpr std::string_view v3AppNotProtected = "Not protected";
inline constexpr std::string_view v3AppProtected = "Protected";
inline constexpr std::string_view v3Cancel = "Cancel";
inline constexpr std::string_view v3ComingSoon = "Coming soon";
inline constexpr std::string_view v3Delete = "Delete";
inline constexpr std::string_view v3DeleteAll = "Clear today";
inline constexpr std::string_view v3DeleteAllConfirm = "Remove everything from today's list? Your safety log is kept.";
inline constexpr std::string_view v3DeleteConfirm = "Remove this from the list? Your safety log is kept.";
inline constexpr std::string_view v3Done = "Done";
inline constexpr std::string_view v3DontAllow = "Don't allow";
inline constexpr std::string_view v3Fix = "Fix it";
inline constexpr std::string_view v3Helper = "Helper";
inline constexpr std::string_view v3HelperAsk = "Explain this";
inline constexpr std::string_view v3HelperNote = "The helper runs on your device.";
inline constexpr std::string_view v3Home = "Home";
inline constexpr std::string_view v3Latest = "Latest";
inline constexpr std::string_view v3LogKept = "Removed from the list. Your safety log is kept.";
inline constexpr std::string_view v3More = "More";
inline constexpr std::string_view v3MoveLater = "Not now";
inline constexpr std::string_view v3NeedsFix = "One thing to fix";
inline constexpr std::string_view v3NoActivity = "Nothing happened yet today.";
inline constexpr std::string_view v3NotConnected = "Not connected";
inline constexpr std::string_view v3NothingToStop = "No AI app is running.";
inline constexpr std::string_view v3OK = "OK";
inline constexpr std::string_view v3Off = "Protection is off";
inline constexpr std::string_view v3OffSubtitle = "Your AI apps are not being checked.";
inline constexpr std::string_view v3OnboardBody = "Pick the AI apps you want Vardex to watch.";
inline constexpr std::string_view v3OnboardDoneBody = "Vardex will ask you when something looks risky.";
inline constexpr std::string_view v3OnboardDoneTitle = "You're protected";
inline constexpr std::string_view v3OnboardGo = "Protect them";
inline constexpr std::string_view v3OnboardNone = "No AI apps found yet. Vardex will protect them when you install one.";
inline constexpr std::string_view v3OnboardTitle = "Let's protect your AI apps";
inline constexpr std::string_view v3PartlySetUp = "Partly set up";
inline constexpr std::string_view v3PauseHour = "Pause 1 hour";
inline constexpr std::string_view v3Paused = "Paused";
inline constexpr std::string_view v3PausedSubtitle = "Protection comes back on by itself.";
inline constexpr std::string_view v3Protected = "You're protected";
inline constexpr std::string_view v3Removed = "Removed";
inline constexpr std::string_view v3Resume = "Turn back on";
inline constexpr std::string_view v3Resumed = "Protection is back on.";
inline constexpr std::string_view v3Settings = "Settings";
inline constexpr std::string_view v3StartAtLogin = "Start when I log in";
inline constexpr std::string_view v3Stop = "Stop";
inline constexpr std::string_view v3StopAgent = "Stop AI apps";
inline constexpr std::string_view v3StopAgentAsk = "Stop every running AI app now?";
inline constexpr std::string_view v3StopWhy = "Closes running AI apps and blocks new actions until you resume.";
inline constexpr std::string_view v3Stopped = "Stopped. New actions are blocked until you tap Resume.";
inline constexpr std::string_view v3StoppedAll = "All AI apps stopped.";
inline constexpr std::string_view v3StoppedSubtitle = "New actions are blocked until you resume.";
inline constexpr std::string_view v3StoppedTitle = "Your AI apps are stopped";
inline constexpr std::string_view v3Talk = "Talk";
inline constexpr std::string_view v3Today = "Today";
inline constexpr std::string_view v3TurnOn = "Turn on";
inline constexpr std::string_view v3Undo = "Undo";
inline constexpr std::string_view v3Why = "Why?";
inline constexpr std::string_view v3YourApps = "Your AI apps";
inline constexpr std::string_view versionPrefix = "Version ";
inline constexpr std::string_view waitingSeconds = "Waiting time (seconds)";
inline constexpr std::string_view watchingLine = "Watching ";
inline constexpr std::string_view whatAgentWants = "What the app wants to do";
inline constexpr std::string_view whatICantStop = "What I can't stop";
inline constexpr std::string_view whatICantStopBody = "Vardex watches AI coding apps through hooks, a command-line shim, a supervised launch, and a canary. It does not block every file action by every agent. Direct file use that never hits those layers is not a kernel block yet. Network filtering is not on in this version.";
inline constexpr std::string_view whatVardexFound = "What Vardex found";
inline constexpr std::string_view whyDeletes = "A wrong delete can't be undone.";
inline constexpr std::string_view whyPasswords = "A leaked password can be used anywhere.";
inline constexpr std::string_view whyThisMatters = "Why this matters";
inline constexpr std::string_view willNotStartAtLogin = "Will not start at login.";
inline constexpr std::string_view willStartAtLogin = "Will start at login.";
inline constexpr std::string_view youreProtected = "You're protected";
inline constexpr std::string_view youreProtectedFull = "You're protected. Vardex is checking your AI apps.";

// The status line's subtitles on the popover and the home screen.
inline constexpr std::string_view statusOffSubtitle = "Tap Turn on to protect your AI apps.";
inline constexpr std::string_view statusPausedSubtitle = "New actions are not checked until you resume.";
inline constexpr std::string_view statusStoppedSubtitle = "Every new action is blocked until you resume.";
inline constexpr std::string_view statusNeedsFixAny = "One setting needs a tap.";

// --- Composing functions ---------------------------------------------------------------

std::string_view agentName(AgentKind kind);
// The word for a decision in running text ("allowed", "asked you", "blocked").
std::string_view outcome(Outcome verdict);
std::string_view v2Pill(Outcome verdict);

std::string exportedLines(long long count);
std::string nowProtecting(std::string_view name);
std::string relativeAgo(long long seconds);
std::string v3StoppedCount(long long count);
std::string v3ClosedAgents(long long count);
std::string popoverWatched(long long apps, long long stopped);
// The day's blocked count as the daily notice words it; 0 reads like 1.
std::string stoppedSentence(long long count);
// "Over the last 7 days this would have allowed 3 actions that were asked about: a; b; c."
std::string replayShift(Outcome before, Outcome after, long long count, const std::vector<std::string>& examples);
// "… and 12 more." for differences the engine did not list.
std::string replayMore(long long count);
// The line under "Always allow": "Asked 4 times in the last 7 days; Always allow stops these
// questions.", or what it does when the action was not asked about before.
std::string alwaysAllowNote(long long askedThisWeek);
std::string todayCounts(long long checked, long long stopped, long long asked);
std::string todayLine(long long stopped, long long secretsRead, long long checks);
std::string fixTitle(long long count);
// "Cursor is not connected yet."
std::string statusNeedsFix(std::string_view agentTitle);
std::string versionLine(std::string_view version);
// "Log head: 1204:3fa9c2b1e0d4", the last line of a receipt.
std::string receiptLogHead(std::string_view head);
// The command that checks a receipt's head, with this log's head when there is one.
std::string verifyHeadCommand(std::optional<std::string_view> head);

std::string healthSummary(std::string_view agentTitle, bool ok);
std::string_view healthService(bool ok);
std::string_view healthRules(bool ok);
std::string_view healthBinary(bool ok);
std::string_view healthLog(bool ok);
// What the health page shows of a daemon that does not answer: the last line it wrote.
std::string daemonSaid(std::string_view line);
std::string_view v2AgentConnection(bool connected);

// Within this many seconds a check counts as "just now".
inline constexpr long long checkedRecentSeconds = 60;
// The time is the local clock time (hours and minutes).
std::string checkedLine(std::chrono::system_clock::time_point at,
                        std::chrono::system_clock::time_point now);

// The icon state's text: "protected", "partlyProtected", "promptPending", "paused", ...
std::string_view iconTitle(std::string_view iconState);
// The home status's text: "protected", "needsFix", "off", "paused".
std::string_view homeHeadline(std::string_view homeStatus);
std::string_view homeStatus(std::string_view homeStatus);
std::string_view homeSubline(std::string_view homeStatus);

std::string_view v3Thing(const std::optional<std::string>& ruleId);
std::string v3GroupSentence(std::string_view agentTitle, Outcome verdict,
                            const std::optional<std::string>& ruleId, long long count);
std::string v3Sentence(std::string_view agentTitle, Outcome verdict,
                       const std::optional<std::string>& ruleId, std::string_view action);
std::string v3AskSentence(std::string_view agentTitle, const std::optional<std::string>& ruleId);
std::string_view v3HelperFallback(const std::optional<std::string>& ruleId);

std::string_view pageTitle(VardexPage page);
std::string_view pageSubtitle(VardexPage page);

// The review copy of the main texts, in a fixed order.
const std::vector<std::pair<std::string_view, std::string_view>>& catalog();
std::string markdownDocument();
// One table cell of the review document: bars escaped, line feeds turned into spaces.
std::string markdownCell(std::string_view text);

// --- Desktop shell: tray, popover, approval panel ---------------------------------------

inline constexpr std::string_view popoverOpen = "Open";
inline constexpr std::string_view popoverHelperFallback = "All good. Tap Open to see more.";
inline constexpr std::string_view approvalArming = "Take a second to read it. The answers unlock in a moment.";
inline constexpr std::string_view approvalWorkingFolder = "Working in";
inline constexpr std::string_view approvalRiskLevel = "Risk";
inline constexpr std::string_view approvalAnswerKeys = "Alt+A allows this time · Alt+D does not allow · Esc answers later";
inline constexpr std::string_view notificationOpen = "Open";
inline constexpr std::string_view runUnderXvfb =
    "No display was found. To try Vardex Bar without one, run it under a virtual display:\n"
    "  dbus-run-session -- xvfb-run -a -s \"-screen 0 1280x800x24\" scripts/run-app.sh";

// "3 questions are waiting. The oldest is shown first."
std::string approvalQueueLine(long long waiting);
// The severity as one word ("low", "high", "critical").
std::string_view severityName(Severity severity);
// What the popover's helper card asks the model, with today's stopped count.
std::string popoverHelperPrompt(long long stopped);
// What the approval panel's helper card asks the model about the rule's risk story.
std::string approvalHelperPrompt(std::string_view headline);
// The seconds left on a waiting question, as its countdown line reads.
std::string countdownLine(long long seconds);
// After the start of an action that does not fit beside the answers: "… 42 more characters".
std::string moreCharacters(long long hidden);
// Under the whole action when part of it is scrolled out of view: "12 more lines below. Scroll to read the rest."
std::string linesBelow(long long lines);

// --- The main window, its pages and the activity window ----------------------------------

inline constexpr std::string_view appIsProtected = " is protected";
inline constexpr std::string_view appIsNotProtected = " is not protected yet";
inline constexpr std::string_view runsOnYourDevice = "Vardex runs on your device.";
inline constexpr std::string_view activityNothingHere = "Nothing here yet. When your AI apps do something, it shows up here.";
inline constexpr std::string_view toastRemoved = "Removed from this list.";
inline constexpr std::string_view toastLogKept = "Your safety log is kept.";
inline constexpr std::string_view onboardKeepSafe = "Keep your AI apps safe";
inline constexpr std::string_view onboardAllSet = "All set";
inline constexpr std::string_view onboardNoneYet = "No AI apps found yet. You can add them later.";
inline constexpr std::string_view stopAgentAsk = "Also close the running AI app?";
inline constexpr std::string_view closeIt = "Close it";
inline constexpr std::string_view alwaysOn = "Always on";
inline constexpr std::string_view setupNothingDue = "Nothing left to set up on this computer.";
inline constexpr std::string_view setupComplete = "Setup is complete";
inline constexpr std::string_view testAction = "Test";
inline constexpr std::string_view allowedRowWhy = "This looked safe, so Vardex let it run.";
inline constexpr std::string_view askedRowWhy = "Vardex asked you first, and your answer decided.";
inline constexpr std::string_view turnOffEveryApp = "Turn off for every app";
inline constexpr std::string_view addSafetyRule = "Add a safety rule";
inline constexpr std::string_view addAnotherAppPlus = "+ Add another app";
inline constexpr std::string_view ruleName = "Name";
inline constexpr std::string_view ruleWatch = "What to watch";
inline constexpr std::string_view ruleMatchKind = "Match";
inline constexpr std::string_view notifications = "Notifications";
inline constexpr std::string_view notificationsOn = "Show notifications";
inline constexpr std::string_view commandLineTool = "Command-line tool";
inline constexpr std::string_view protectionHeading = "Protection";
inline constexpr std::string_view chooseFolder = "Choose a folder to protect";
inline constexpr std::string_view testOutcomeHeading = "What Vardex would do";
inline constexpr std::string_view decisionAll = "All decisions";
inline constexpr std::string_view decisionAsk = "Ask first";
inline constexpr std::string_view checkShellExample = "rm -rf ~/Documents";
inline constexpr std::string_view checkReadExample = "~/.ssh/id_ed25519";
inline constexpr std::string_view checkServerExample = "payments";
inline constexpr std::string_view checkToolExample = "send_money";
inline constexpr std::string_view checkJsonExample = "{}";
inline constexpr std::string_view columnTime = "Time";
inline constexpr std::string_view columnAction = "Action";
inline constexpr std::string_view logLineDamaged = "This line of the log could not be read:";
inline constexpr std::string_view logLineDamagedPill = "Unreadable";
inline constexpr std::string_view backgroundServiceOn = "Background protection is running.";
inline constexpr std::string_view thisAppState = "This app";
inline constexpr std::string_view exampleBadge = "EXAMPLE";
inline constexpr std::string_view receiptAgentsNone = "No AI apps connected yet.";
inline constexpr std::string_view menuOfferTitle = "Add Vardex to your applications menu?";
inline constexpr std::string_view menuOfferBody = "Vardex is running from a folder outside the installed programs. Add it to the applications menu to start it like any other app.";
inline constexpr std::string_view menuOfferButton = "Add to menu";
inline constexpr std::string_view menuOfferComment = "Checks what AI coding apps do before it happens";
inline constexpr std::string_view homeHelperFallback = "Vardex watches what your AI apps try to do. If something looks risky, it stops it or asks you first.";
inline constexpr std::string_view activityHelperPrompt = "Explain this list of what my AI apps did today in plain words.";
inline constexpr std::string_view activityHelperFallback = "Each line is one thing an AI app tried. A hand means we stopped it. A tick means it was safe.";
inline constexpr std::string_view pauseHelperPrompt = "Explain what pausing Vardex does, for a child.";
inline constexpr std::string_view pauseHelperFallback = "Pausing turns protection off for one hour. It turns back on by itself.";

// "What does Vardex do for me today? It stopped 3 risky things."
std::string homeHelperPrompt(long long stoppedToday);
// The prompts of a stopped action's card: in the activity list and in its detail.
std::string blockedRowHelperPrompt(std::string_view headline);
std::string blockedDetailHelperPrompt(std::string_view headline);
// The story's reason and its advice on allowing once, as the cards' fallback.
std::string storyFallback(const RiskStory& story);
// What "Why?" opens under a row of the activity list: the rule's story for a stop, and for an
// action that ran or was asked about, words that do not claim it was stopped.
std::string rowWhy(Outcome verdict, const std::optional<std::string>& ruleId);
// "We stopped the command “rm -rf ~” from Claude Code."
std::string blockedEntrySentence(std::string_view what, std::string_view agentTitle);
// "12 of 40"
std::string logCount(long long shown, long long total);

}  // namespace vardex::UIStrings
