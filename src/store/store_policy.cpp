#include <algorithm>

#include "activity/timestamp.hpp"
#include "bridge/policy_replay.hpp"
#include "bridge/vardex_cli.hpp"
#include "bridge/vardex_paths.hpp"
#include "policy/onboarding_folders.hpp"
#include "policy/user_policy_writer.hpp"
#include "store/vardex_store.hpp"
#include "strings/ui_strings.hpp"
#include "text/unicode_text.hpp"

namespace vardex {

namespace {

bool holdsWhiteSpace(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

// One save and, when it failed, the file as the writer left it.
struct PolicySave {
    Result<void, PolicyWriteError> saved;
    std::optional<UserPolicyFile> onDisk;
};

}  // namespace

void VardexStore::runInTurn(std::function<void(VardexStore&)> step) {
    turnsWaiting_.push_back(std::move(step));
    if (!savingPolicy) startNextTurn();
}

void VardexStore::startNextTurn() {
    if (turnsWaiting_.empty()) {
        savingPolicy = false;
        publish();
        return;
    }
    savingPolicy = true;
    auto step = std::move(turnsWaiting_.front());
    turnsWaiting_.pop_front();
    step(*this);
}

void VardexStore::persistPolicy() { editPolicy({}); }

// The engine validates each save before the next edit is made, so a refused edit is dropped
// (the file on disk is read back) before the edits after it, as if each had waited.
void VardexStore::editPolicy(std::function<void(UserPolicyFile&)> edit) {
    ++ruleChanges_;
    runInTurn([edit = std::move(edit)](VardexStore& store) {
        if (edit) edit(store.userPolicy);
        ++store.ruleChanges_;
        store.publish();
        store.runThenApply(
            WorkPriority::userInitiated,
            [policy = store.userPolicy, limit = store.options_.engineTimeLimit] {
                PolicySave outcome{UserPolicyWriter::save(policy, limit), std::nullopt};
                if (!outcome.saved) outcome.onDisk = UserPolicyFile::loadFromHome();
                return outcome;
            },
            [](VardexStore& later, PolicySave outcome) {
                ++later.ruleChanges_;
                if (outcome.saved) {
                    later.policyError.reset();
                    later.lastMessage = std::string(UIStrings::policySaved);
                    later.refreshDashboard();
                } else {
                    later.policyError = outcome.saved.error().description();
                    // The failed edit is dropped: the pages show what the engine really enforces.
                    later.userPolicy = std::move(*outcome.onDisk);
                }
                later.publish();
                later.startNextTurn();
            });
    });
}

void VardexStore::addSite() {
    auto typed = std::move(newDomain);
    newDomain.clear();
    editPolicy([typed = std::move(typed)](UserPolicyFile& policy) { policy.addSite(typed); });
}

std::optional<UserRule> VardexStore::customRuleFromForm() {
    const std::string name(unicode::trimmed(customId));
    const std::string value(unicode::trimmed(customMatchValue));
    if (name.empty() || value.empty()) {
        policyError = std::string(UIStrings::ruleValueError);
        publish();
        return std::nullopt;
    }
    if (holdsWhiteSpace(name) || name.find('.') == std::string::npos) {
        policyError = std::string(UIStrings::ruleIdError);
        publish();
        return std::nullopt;
    }
    return UserRule::custom(name, customDescription, customSeverity, customDecision, customMatchKind, value);
}

namespace {

std::function<void(UserPolicyFile&)> addingRule(UserRule rule) {
    return [rule = std::move(rule)](UserPolicyFile& policy) {
        policy.removeRule(rule.id);
        policy.rules.push_back(rule);
    };
}

void clearCustomForm(VardexStore& store) {
    store.customId.clear();
    store.customDescription.clear();
    store.customMatchValue.clear();
}

}  // namespace

void VardexStore::addCustomRule() {
    auto rule = customRuleFromForm();
    if (!rule) return;
    editPolicy(addingRule(std::move(*rule)));
    clearCustomForm(*this);
    publish();
}

void VardexStore::proposeCustomRule() {
    if (auto rule = customRuleFromForm()) proposePolicyEdit(addingRule(std::move(*rule)), clearCustomForm);
}

void VardexStore::proposePolicyEdit(std::function<void(UserPolicyFile&)> edit,
                                    std::function<void(VardexStore&)> afterConfirm) {
    auto candidate = userPolicy;
    edit(candidate);
    // Nothing to ask about (an empty site, a switch already where it is).
    if (candidate == userPolicy) return;
    const auto number = ++previewsStarted_;
    policyPreview = PolicyPreview{number, std::move(edit), std::move(afterConfirm), true, std::nullopt, std::nullopt};
    publish();
    runThenApply(
        WorkPriority::userInitiated,
        [text = candidate.yaml(), limit = options_.engineTimeLimit] { return PolicyReplay::run(text, limit); },
        [number](VardexStore& store, Result<PolicyReplay, std::string> replay) {
            if (!store.policyPreview || store.policyPreview->number != number) return;
            store.policyPreview->running = false;
            if (replay) {
                store.policyPreview->replay = std::move(*replay);
            } else {
                store.policyPreview->error = replay.error();
            }
            store.publish();
        });
}

// The confirmation waits for the replay: the user decides with its answer (or its failure) in view.
void VardexStore::confirmPolicyPreview() {
    if (!policyPreview || policyPreview->running) return;
    auto preview = std::move(*policyPreview);
    policyPreview.reset();
    editPolicy(std::move(preview.edit));
    if (preview.afterConfirm) preview.afterConfirm(*this);
    publish();
}

void VardexStore::cancelPolicyPreview() {
    if (!policyPreview) return;
    policyPreview.reset();
    publish();
}

long long VardexStore::askedThisWeek(const ApprovalRequest& request) const {
    const auto since = now - std::chrono::hours(24 * 7);
    return std::count_if(auditEntries.begin(), auditEntries.end(), [&](const AuditLogEntry& entry) {
        if (entry.decision != Outcome::ask || entry.actionSummary != request.actionSummary) return false;
        const auto at = readTimestamp(entry.ts);
        return at && *at >= since;
    });
}

// Each path is saved on its own, so a path the engine refuses does not keep the others out.
void VardexStore::applyDefaultFolderGuards() {
    for (const auto& path : OnboardingFolders::defaultGuardPaths()) {
        editPolicy([path](UserPolicyFile& policy) { policy.addFolder(path); });
    }
}

void VardexStore::setProtect(const std::string& id, bool on) {
    const auto row = std::find_if(protectApps.begin(), protectApps.end(), [&](const ProtectAppRow& candidate) {
        return candidate.id == id;
    });
    if (row != protectApps.end()) row->protect = on;
    ++ruleChanges_;
    publish();
    // In turn, so switching quickly on and off leaves the engine where the switch ends.
    runInTurn([arguments = std::vector<std::string>{"protect", "set", id, on ? "--on" : "--off"}](VardexStore& store) {
        store.runThenApply(
            WorkPriority::userInitiated,
            [arguments, limit = store.options_.engineTimeLimit] {
                if (const auto engine = VardexPaths::vardexBinary()) {
                    (void)VardexCli::runBinary(*engine, arguments, std::nullopt, limit);
                }
                return true;
            },
            [](VardexStore& later, bool) {
                ++later.ruleChanges_;
                later.startNextTurn();
            });
    });
}

void VardexStore::addFolder(const std::string& path) {
    editPolicy([path](UserPolicyFile& policy) { policy.addFolder(path); });
}

void VardexStore::removeRule(const std::string& id) {
    editPolicy([id](UserPolicyFile& policy) { policy.removeRule(id); });
}

void VardexStore::setDisabled(const std::string& id, bool disabled) {
    editPolicy([id, disabled](UserPolicyFile& policy) { policy.setDisabled(id, disabled); });
}

}  // namespace vardex
