#include "daemon/approval_memory.hpp"

#include <system_error>

#include <nlohmann/json.hpp>

#include "daemon/action_record.hpp"
#include "policy/text_file.hpp"
#include "protocol/agent_context.hpp"

namespace vardex::engine {
namespace {

std::string sessionScope(const AgentContext& context) {
    return std::string(wireText(context.agent)) + "\n" + context.sessionId;
}

std::string sessionGrant(const Action& action, const Decision& decision) {
    if (decision.ruleId && decision.severity != Severity::critical) return "rule:" + *decision.ruleId;
    return "action:" + exactActionKey(action);
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
        session_.count({sessionScope(action.context), sessionGrant(action, decision)}) != 0) {
        return ApprovalVerdict::allowSession;
    }
    return std::nullopt;
}

Result<void, std::string> ApprovalMemory::remember(const Action& action, const Decision& decision,
                                                   ApprovalVerdict verdict) {
    switch (verdict) {
    case ApprovalVerdict::allowSession:
        // Without a session id every session would share the grant.
        if (!action.context.sessionId.empty()) {
            session_.insert({sessionScope(action.context), sessionGrant(action, decision)});
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
