#include <algorithm>

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

}  // namespace

// Waits for the engine to validate the file: the pages show the outcome right after the edit.
void VardexStore::persistPolicy() {
    if (const auto saved = UserPolicyWriter::save(userPolicy); saved) {
        policyError.reset();
        lastMessage = std::string(UIStrings::policySaved);
        refreshDashboard();
    } else {
        policyError = saved.error().description();
        // The failed edit is dropped: the pages show what the engine really enforces.
        userPolicy = UserPolicyFile::loadFromHome();
    }
    publish();
}

void VardexStore::addSite() {
    const auto typed = std::move(newDomain);
    newDomain.clear();
    userPolicy.addSite(typed);
    persistPolicy();
}

void VardexStore::addCustomRule() {
    const std::string name(unicode::trimmed(customId));
    const std::string value(unicode::trimmed(customMatchValue));
    if (name.empty() || value.empty()) {
        policyError = std::string(UIStrings::ruleValueError);
        publish();
        return;
    }
    if (holdsWhiteSpace(name) || name.find('.') == std::string::npos) {
        policyError = std::string(UIStrings::ruleIdError);
        publish();
        return;
    }
    userPolicy.removeRule(name);
    userPolicy.rules.push_back(
        UserRule::custom(name, customDescription, customSeverity, customDecision, customMatchKind, value));
    persistPolicy();
    customId.clear();
    customDescription.clear();
    customMatchValue.clear();
    publish();
}

// Each path is saved on its own, so a path the engine refuses does not keep the others out.
void VardexStore::applyDefaultFolderGuards() {
    for (const auto& path : OnboardingFolders::defaultGuardPaths()) {
        userPolicy.addFolder(path);
        persistPolicy();
    }
}

void VardexStore::setProtect(const std::string& id, bool on) {
    const auto row = std::find_if(protectApps.begin(), protectApps.end(), [&](const ProtectAppRow& candidate) {
        return candidate.id == id;
    });
    if (row != protectApps.end()) row->protect = on;
    publish();
    const auto engine = VardexPaths::vardexBinary();
    if (!engine) return;
    (void)VardexCli::runBinary(*engine, {"protect", "set", id, on ? "--on" : "--off"});
}

void VardexStore::addFolder(const std::string& path) {
    userPolicy.addFolder(path);
    persistPolicy();
}

void VardexStore::removeRule(const std::string& id) {
    userPolicy.removeRule(id);
    persistPolicy();
}

void VardexStore::setDisabled(const std::string& id, bool disabled) {
    userPolicy.setDisabled(id, disabled);
    persistPolicy();
}

}  // namespace vardex
