#include "strings/ui_strings.hpp"

#include <ctime>

namespace vardex::UIStrings {
namespace {

std::string counted(long long count) { return std::to_string(count); }

// What a rule is about, worded as the thing stopped and as the thing an agent wants to do. A
// rule id is tested, case-sensitively, for containing each fragment in order; the first hit
// decides.
struct RuleTopic {
    std::string_view fragment;
    std::string_view thing;
    std::string_view verb;
};

const RuleTopic ruleTopics[] = {
    {"ssh", "reading your secret key", "use your secret key"},
    {"secret", "sending your password", "use your passwords"},
    {"password", "sending your password", "use your passwords"},
    {"credential", "sending your password", "use your passwords"},
    {"pipe_to_shell", "running a program from the internet", "run a program from the internet"},
    {"rce", "running a program from the internet", "run a program from the internet"},
    {"autostart", startupThing, startupVerb},
    {"persist", startupThing, startupVerb},
    {"money", "spending money", "spend money"},
    {"payment", "spending money", "spend money"},
    {"delete", "deleting your files", "delete files"},
    {"rm", "deleting your files", "delete files"},
};

constexpr RuleTopic noTopic{"", "doing something risky", "do something risky"};

const RuleTopic& ruleTopic(const std::optional<std::string>& ruleId) {
    std::string_view id = ruleId ? std::string_view(*ruleId) : std::string_view();
    for (const auto& topic : ruleTopics) {
        if (id.find(topic.fragment) != std::string_view::npos) return topic;
    }
    return noTopic;
}

}  // namespace

std::string markdownCell(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '|') {
            out += "\\|";
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string_view agentName(AgentKind kind) { return displayName(kind); }

std::string_view outcome(Outcome verdict) {
    switch (verdict) {
        case Outcome::allow: return "allowed";
        case Outcome::ask: return "asked you";
        case Outcome::deny: return "blocked";
    }
    return {};
}

std::string_view v2Pill(Outcome verdict) {
    switch (verdict) {
        case Outcome::allow: return v2Allowed;
        case Outcome::ask: return v2Asked;
        case Outcome::deny: return v2Blocked;
    }
    return {};
}

std::string exportedLines(long long count) {
    return "Exported " + counted(count) + " activity lines.";
}

std::string nowProtecting(std::string_view name) {
    return "Now protecting " + std::string(name);
}

std::string relativeAgo(long long seconds) {
    if (seconds < 60) return "just now";
    if (seconds < 3600) return counted(seconds / 60) + " min ago";
    if (seconds < 86400) return counted(seconds / 3600) + " h ago";
    return counted(seconds / 86400) + " d ago";
}

std::string v3StoppedCount(long long count) {
    if (count == 0) return "Nothing needed stopping today.";
    if (count == 1) return "We stopped 1 thing today.";
    return "We stopped " + counted(count) + " things today.";
}

std::string v3ClosedAgents(long long count) {
    if (count == 0) return "No running AI app found.";
    if (count == 1) return "Closed 1 AI app.";
    return "Closed " + counted(count) + " AI apps.";
}

std::string popoverWatched(long long apps, long long stopped) {
    std::string watched = apps == 1 ? "1 app watched" : counted(apps) + " apps watched";
    std::string stoppedPart =
        stopped == 1 ? "1 stopped today" : counted(stopped) + " stopped today";
    return watched + std::string(logCountSeparator) + stoppedPart;
}

std::string stoppedSentence(long long count) {
    if (count <= 1) return "Vardex blocked a risky action today.";
    return "Vardex blocked " + counted(count) + " risky actions today.";
}

namespace {

// The change an outcome makes, and the one an action had, in "would have allowed … that were asked about".
std::string_view replayVerb(Outcome verdict) {
    switch (verdict) {
        case Outcome::allow: return "allowed";
        case Outcome::ask: return "asked about";
        case Outcome::deny: return "blocked";
    }
    return "decided";
}

}  // namespace

std::string replayShift(Outcome before, Outcome after, long long count, const std::vector<std::string>& examples) {
    std::string out = "Over the last 7 days this would have " + std::string(replayVerb(after)) + " " + counted(count) +
                      (count == 1 ? " action that was " : " actions that were ") + std::string(replayVerb(before));
    for (std::size_t i = 0; i < examples.size(); ++i) out += (i == 0 ? ": " : "; ") + examples[i];
    return out + ".";
}

std::string replayMore(long long count) { return "… and " + counted(count) + " more."; }

std::string alwaysAllowNote(long long count) {
    if (count <= 0) return std::string(alwaysAllowWhy);
    const std::string times = count == 1 ? "once" : count == 2 ? "twice" : counted(count) + " times";
    return "Asked " + times + " in the last 7 days; Always allow stops these questions.";
}

std::string todayCounts(long long checked, long long stopped, long long asked) {
    std::string sep(logCountSeparator);
    return counted(checked) + " " + std::string(statChecked) + sep + counted(stopped) + " " +
           std::string(statStopped) + sep + counted(asked) + " " + std::string(askedYou);
}

std::string todayLine(long long stopped, long long secretsRead, long long checks) {
    return "Stopped " + counted(stopped) + " risky actions · " + counted(secretsRead) +
           " secrets read · " + counted(checks) + " checks";
}

std::string fixTitle(long long count) {
    if (count <= 1) return std::string(v3NeedsFix);
    return counted(count) + " things to fix";
}

std::string statusNeedsFix(std::string_view agentTitle) { return std::string(agentTitle) + " is not connected yet."; }

std::string versionLine(std::string_view version) {
    return std::string(versionPrefix) + std::string(version);
}

std::string receiptLogHead(std::string_view head) { return "Log head: " + std::string(head); }

std::string verifyHeadCommand(std::optional<std::string_view> head) {
    return "vardex log verify --head " + std::string(head.value_or("COUNT:FINGERPRINT"));
}

std::string healthSummary(std::string_view agentTitle, bool ok) {
    return std::string(ok ? connectedTo : notConnectedTo) + std::string(agentTitle);
}

std::string_view healthService(bool ok) {
    return ok ? "Background protection is running."
              : "Background protection is off. Turn it on so connected apps are checked.";
}

std::string_view healthRules(bool ok) {
    return ok ? "Safety rules are loaded." : "Safety rules could not be loaded.";
}

std::string_view healthBinary(bool ok) {
    return ok ? healthBinaryOk : healthBinaryMissing;
}

std::string_view healthLog(bool ok) {
    return ok ? "Activity is being recorded." : "No activity recorded yet.";
}

std::string daemonSaid(std::string_view line) { return "The background service last said: " + std::string(line); }

const std::vector<std::pair<std::string_view, std::string_view>>& platformWords() {
#define VARDEX_NAMED_WORD(name) {#name, name},
    static const std::vector<std::pair<std::string_view, std::string_view>> words{VARDEX_PLATFORM_WORDS(VARDEX_NAMED_WORD)};
#undef VARDEX_NAMED_WORD
    return words;
}

std::string_view v2AgentConnection(bool connected) {
    return connected ? connectedFound : v2NotConnected;
}

std::string checkedLine(std::chrono::system_clock::time_point at,
                        std::chrono::system_clock::time_point now) {
    auto age = std::chrono::duration_cast<std::chrono::seconds>(now - at).count();
    if (age >= 0 && age < checkedRecentSeconds) return std::string(checkedJustNow);
    std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    std::tm local{};
    localtime_r(&seconds, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M", &local);
    return std::string("Checked ") + clock;
}

std::string_view iconTitle(std::string_view iconState) {
    if (iconState == "protected") return protected_;
    if (iconState == "partlyProtected") return partlyProtected;
    if (iconState == "promptPending") return promptPending;
    if (iconState == "paused") return paused;
    return notProtected;
}

namespace {

struct HomeTexts {
    std::string_view headline;
    std::string_view status;
    std::string_view subline;
};

// Anything that is not a known status reads as "off".
const HomeTexts& homeTexts(std::string_view status) {
    static const HomeTexts protectedTexts{v3Protected, protected_, supportingTagline};
    static const HomeTexts needsFixTexts{v3NeedsFix, partlyProtected, healthRepairWhy};
    static const HomeTexts pausedTexts{v3Paused, paused, v3PausedSubtitle};
    static const HomeTexts offTexts{v3Off, notProtected, v3OffSubtitle};
    if (status == "protected") return protectedTexts;
    if (status == "needsFix") return needsFixTexts;
    if (status == "paused") return pausedTexts;
    return offTexts;
}

}  // namespace

std::string_view homeHeadline(std::string_view status) { return homeTexts(status).headline; }
std::string_view homeStatus(std::string_view status) { return homeTexts(status).status; }
std::string_view homeSubline(std::string_view status) { return homeTexts(status).subline; }

std::string_view v3Thing(const std::optional<std::string>& ruleId) {
    return ruleTopic(ruleId).thing;
}

std::string v3GroupSentence(std::string_view agentTitle, Outcome verdict,
                            const std::optional<std::string>& ruleId, long long count) {
    std::string name(agentTitle);
    bool many = count >= 2;
    switch (verdict) {
        case Outcome::allow:
            return many ? name + " did " + counted(count) + " safe things."
                        : name + " did a safe thing.";
        case Outcome::ask:
            return many ? name + " asked first " + counted(count) + " times."
                        : name + " asked first, and you chose.";
        case Outcome::deny: {
            std::string thing(v3Thing(ruleId));
            return many ? "Stopped " + name + " " + counted(count) + " times from " + thing + "."
                        : "We stopped " + name + " from " + thing + ".";
        }
    }
    return {};
}

std::string v3Sentence(std::string_view agentTitle, Outcome verdict,
                       const std::optional<std::string>& ruleId, std::string_view /*action*/) {
    return v3GroupSentence(agentTitle, verdict, ruleId, 1);
}

std::string v3AskSentence(std::string_view agentTitle, const std::optional<std::string>& ruleId) {
    return std::string(agentTitle) + " wants to " + std::string(ruleTopic(ruleId).verb) +
           ". Is that OK?";
}

std::string_view v3HelperFallback(const std::optional<std::string>& ruleId) {
    return riskStory(ruleId).why;
}

std::string_view pageTitle(VardexPage page) { return title(page); }
std::string_view pageSubtitle(VardexPage page) { return subtitle(page); }

const std::vector<std::pair<std::string_view, std::string_view>>& catalog() {
#define VARDEX_COPY(key) {#key, key}
    static const std::vector<std::pair<std::string_view, std::string_view>> pairs{
        VARDEX_COPY(product), VARDEX_COPY(shortName), VARDEX_COPY(mainTagline),
        VARDEX_COPY(supportingTagline), VARDEX_COPY(protectMyMac), VARDEX_COPY(howItWorks),
        VARDEX_COPY(beatStopsDeletes), VARDEX_COPY(beatGuardsPasswords),
        VARDEX_COPY(beatWatchesUploads), VARDEX_COPY(addAnotherApp),
        VARDEX_COPY(livesInMenuBar), VARDEX_COPY(quitVardex), VARDEX_COPY(quitConfirm),
        VARDEX_COPY(openVardex),
        // Status words.
        {"protected", protected_}, VARDEX_COPY(partlyProtected), VARDEX_COPY(paused),
        VARDEX_COPY(notProtected), VARDEX_COPY(promptPending), VARDEX_COPY(protectionOn),
        VARDEX_COPY(protectionOff),
        // Navigation.
        VARDEX_COPY(navHome), VARDEX_COPY(navHomeWhy), VARDEX_COPY(navActivity),
        VARDEX_COPY(navActivityWhy), VARDEX_COPY(navProtection), VARDEX_COPY(navProtectionWhy),
        VARDEX_COPY(navSettings), VARDEX_COPY(navRules), VARDEX_COPY(navRulesWhy),
        VARDEX_COPY(navCheck), VARDEX_COPY(navCheckWhy), VARDEX_COPY(navHealth),
        VARDEX_COPY(navHealthWhy), VARDEX_COPY(navRawLog), VARDEX_COPY(navRawLogWhy),
        VARDEX_COPY(navAbout),
        // Approvals.
        VARDEX_COPY(approvalNeeded), VARDEX_COPY(pendingRequests), VARDEX_COPY(whatAgentWants),
        VARDEX_COPY(countdown), VARDEX_COPY(block), VARDEX_COPY(allowThisTime),
        VARDEX_COPY(allowUntilQuit), VARDEX_COPY(alwaysAllow), VARDEX_COPY(alwaysAllowWhy),
        VARDEX_COPY(replayRunning), VARDEX_COPY(replayNothing), VARDEX_COPY(replayUnavailable),
        VARDEX_COPY(replayConfirm),
        VARDEX_COPY(whyThisMatters), VARDEX_COPY(turnOnProtection), VARDEX_COPY(pauseForOneHour),
        VARDEX_COPY(pauseConfirm), VARDEX_COPY(resume),
        // Setup.
        VARDEX_COPY(setupTitle), VARDEX_COPY(setupBody), VARDEX_COPY(setupStep1),
        VARDEX_COPY(setupStep2), VARDEX_COPY(setupStep3), VARDEX_COPY(setupFullDiskAccess),
        VARDEX_COPY(setupFullDiskAccessWhy), VARDEX_COPY(setupSystemExtension),
        VARDEX_COPY(setupSystemExtensionWhy), VARDEX_COPY(setupNetworkFilter),
        VARDEX_COPY(setupNetworkFilterWhy), VARDEX_COPY(setupMacLayers),
        VARDEX_COPY(setupMacLayersWhy),
        // Trust.
        VARDEX_COPY(logVerify), VARDEX_COPY(logVerifyWhy), VARDEX_COPY(whatICantStop),
        VARDEX_COPY(whatICantStopBody), VARDEX_COPY(freeNetwork), VARDEX_COPY(networkNoneBadge),
        VARDEX_COPY(onDeviceFooter), VARDEX_COPY(latestStopped),
        // Notifications.
        VARDEX_COPY(notifyAskTitle), VARDEX_COPY(notifyBlockedTitle),
        VARDEX_COPY(notifyCanaryTitle), VARDEX_COPY(notifyCanaryBody),
        VARDEX_COPY(notifyNetworkDenyTitle), VARDEX_COPY(notifyNetworkDenyBody),
        // Errors.
        VARDEX_COPY(binaryMissing), VARDEX_COPY(protectionDidNotStart),
        VARDEX_COPY(askTimeoutError), VARDEX_COPY(askThresholdNumberError),
        VARDEX_COPY(askThresholdRangeError),
        // Moving into Applications.
        VARDEX_COPY(v3MoveTitle), VARDEX_COPY(v3MoveBody), VARDEX_COPY(v3MoveButton),
        VARDEX_COPY(v3MoveLater),
        // Settings.
        VARDEX_COPY(quietHours), VARDEX_COPY(quietHoursWhy), VARDEX_COPY(startAtLogin),
        VARDEX_COPY(startAtLoginWhy),
        // Consent.
        VARDEX_COPY(connectConsentTitle), VARDEX_COPY(connectConsentBody),
        VARDEX_COPY(connectConsentAction), VARDEX_COPY(autoProtectNewAgents),
        VARDEX_COPY(autoProtectNewAgentsWhy), VARDEX_COPY(nowProtectingExample),
    };
#undef VARDEX_COPY
    return pairs;
}

std::string markdownDocument() {
    std::string out;
    out += "# Vardex UI strings\n\n";
    out += "This document is for research and development review. The string catalogue in "
           "src/strings/ui_strings.hpp is the authority.\n";
    out += "Edit the catalogue, not this Markdown.\n\n";
    out += "| Key | Copy |\n| --- | --- |\n";
    for (const auto& [key, text] : catalog()) {
        out += "| `";
        out += key;
        out += "` | ";
        out += markdownCell(text);
        out += " |\n";
    }
    out += "\n## Risk stories\n\n";
    out += "| Rule | Headline | Why this matters | Allow once |\n| --- | --- | --- | --- |";
    for (const auto& [rule, story] : riskStories()) {
        out += "\n| `";
        out += rule;
        out += "` | ";
        out += markdownCell(story.headline);
        out += " | ";
        out += markdownCell(story.why);
        out += " | ";
        out += markdownCell(story.allowOnce);
        out += " |";
    }
    return out;
}

std::string approvalQueueLine(long long waiting) {
    return std::to_string(waiting) + " questions are waiting. The oldest is shown first.";
}

std::string_view severityName(Severity severity) {
    switch (severity) {
        case Severity::info: return "info";
        case Severity::low: return "low";
        case Severity::medium: return "medium";
        case Severity::high: return "high";
        case Severity::critical: return "critical";
    }
    return "info";
}

std::string popoverHelperPrompt(long long stopped) {
    return "In one short sentence, tell me my AI apps are being watched and " + std::to_string(stopped) +
           " risky things were stopped today.";
}

std::string approvalHelperPrompt(std::string_view headline) { return "Explain simply: " + std::string(headline); }

std::string countdownLine(long long seconds) {
    return std::to_string(seconds < 0 ? 0 : seconds) + " " + std::string(countdown);
}

std::string moreCharacters(long long hidden) {
    return "\u2026 " + std::to_string(hidden) + (hidden == 1 ? " more character" : " more characters");
}

std::string linesBelow(long long lines) {
    return std::to_string(lines) + (lines == 1 ? " more line below." : " more lines below.") + " Scroll to read the rest.";
}

std::string homeHelperPrompt(long long stoppedToday) {
    return "What does Vardex do for me today? It stopped " + std::to_string(stoppedToday) + " risky things.";
}

std::string blockedRowHelperPrompt(std::string_view headline) {
    return "In one or two plain sentences, why was this stopped: " + std::string(headline);
}

std::string blockedDetailHelperPrompt(std::string_view headline) {
    return "Explain why stopping this was good: " + std::string(headline);
}

std::string storyFallback(const RiskStory& story) { return std::string(story.why) + " " + std::string(story.allowOnce); }

std::string rowWhy(Outcome verdict, const std::optional<std::string>& ruleId) {
    const RiskStory& story = riskStory(ruleId);
    const std::string told = std::string(story.headline) + " " + std::string(story.why);
    switch (verdict) {
        case Outcome::deny: return told;
        // Only a rule's own story fits an asked action: the general one says it was stopped.
        case Outcome::ask: return story == fallbackRiskStory ? std::string(askedRowWhy) : told;
        case Outcome::allow: return std::string(allowedRowWhy);
    }
    return std::string(allowedRowWhy);
}

std::string blockedEntrySentence(std::string_view what, std::string_view agentTitle) {
    return "We stopped " + std::string(what) + " from " + std::string(agentTitle) + ".";
}

std::string logCount(long long shown, long long total) {
    return std::to_string(shown) + " of " + std::to_string(total);
}

}  // namespace vardex::UIStrings
