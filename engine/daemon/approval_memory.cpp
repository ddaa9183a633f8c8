#include "daemon/approval_memory.hpp"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string_view>
#include <system_error>
#include <variant>

#include <nlohmann/json.hpp>

#include "core/command_facts.hpp"
#include "daemon/action_record.hpp"
#include "policy/text_file.hpp"
#include "protocol/agent_context.hpp"

namespace vardex::engine {
namespace {

std::string sessionScope(const AgentContext& context) {
    return std::string(wireText(context.agent)) + "\n" + context.sessionId;
}

// The same action in the same folder: a relative path or a bare command means something else
// elsewhere.
std::string sessionGrant(const Action& action) { return exactActionKey(action) + "\n" + action.context.cwd; }

// Any privilege rule, or a privilege program anywhere in the command as typed: a yes to one
// "sudo" must not turn into a session of them, however the command was spelled.
bool raisesPrivileges(const Action& action, const Decision& decision) {
    const auto privilegeRule = [](const std::string& id) { return id.rfind("priv.", 0) == 0; };
    if (decision.ruleId && privilegeRule(*decision.ruleId)) return true;
    if (std::any_of(decision.matchedRuleIds.begin(), decision.matchedRuleIds.end(), privilegeRule)) return true;
    const auto* shell = std::get_if<ShellAction>(&action.kind);
    if (shell == nullptr) return false;
    const std::string& raw = shell->raw;
    const auto wordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    for (std::size_t i = 0; i < raw.size();) {
        if (!wordChar(raw[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < raw.size() && wordChar(raw[end])) ++end;
        if (raisesPrivilege(std::string_view(raw).substr(i, end - i))) return true;
        i = end;
    }
    return false;
}

}  // namespace

ApprovalMemory::ApprovalMemory(std::filesystem::path alwaysAllowFile) : file_(std::move(alwaysAllowFile)) {}

std::optional<std::string> ApprovalMemory::load() {
    always_.clear();
    std::error_code code;
    if (!std::filesystem::exists(file_, code)) return std::nullopt;

    std::string problem;
    if (auto text = readTextFile(file_); !text) {
        problem = text.error().description();
    } else {
        const auto tree = nlohmann::json::parse(*text, nullptr, false);
        const auto* actions = tree.is_object() && tree.contains("actions") ? &tree["actions"] : nullptr;
        if (actions == nullptr || !actions->is_array()) {
            problem = "it is not a list of actions";
        } else {
            for (const auto& kept : *actions) {
                if (kept.is_object()) always_.insert(kept.dump());
            }
            return std::nullopt;
        }
    }
    auto aside = file_;
    aside += ".unreadable";
    std::filesystem::rename(file_, aside, code);
    return "Could not use the always-allowed actions in " + file_.string() + " (" + problem + ")" +
           (code ? std::string(".") : "; it was moved to " + aside.string() + ".");
}

std::optional<ApprovalVerdict> ApprovalMemory::remembered(const Action& action, const Decision& decision) const {
    if (decision.severity != Severity::critical && always_.count(exactActionKey(action)) != 0) {
        return ApprovalVerdict::alwaysAllow;
    }
    if (!action.context.sessionId.empty() &&
        session_.count({sessionScope(action.context), sessionGrant(action)}) != 0) {
        return ApprovalVerdict::allowSession;
    }
    return std::nullopt;
}

Result<void, std::string> ApprovalMemory::remember(const Action& action, const Decision& decision,
                                                   ApprovalVerdict verdict) {
    switch (verdict) {
    case ApprovalVerdict::allowSession:
        // Without a session id every session would share the grant.
        if (!action.context.sessionId.empty() && !raisesPrivileges(action, decision)) {
            session_.insert({sessionScope(action.context), sessionGrant(action)});
        }
        return {};
    case ApprovalVerdict::alwaysAllow:
        // A critical question never offers "always allow"; a UI that sends it anyway gets once.
        if (decision.severity == Severity::critical) return {};
        if (!always_.insert(exactActionKey(action)).second) return {};
        return save();
    case ApprovalVerdict::allowOnce:
    case ApprovalVerdict::deny:
        return {};
    }
    return {};
}

Result<void, std::string> ApprovalMemory::save() const {
    nlohmann::json actions = nlohmann::json::array();
    for (const auto& key : always_) actions.push_back(nlohmann::json::parse(key));
    const nlohmann::json tree{{"actions", std::move(actions)}, {"version", 1}};
    std::error_code code;
    std::filesystem::create_directories(file_.parent_path(), code);
    if (auto written = writeTextFileAtomically(file_, tree.dump(2) + "\n"); !written) {
        return fail(written.error().description());
    }
    return {};
}

}  // namespace vardex::engine
