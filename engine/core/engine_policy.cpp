#include "core/engine_policy.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "bridge/agent_stop.hpp"
#include "bridge/vardex_paths.hpp"
#include "core/builtin_rules.hpp"
#include "core/path_match.hpp"
#include "core/policy_validation.hpp"
#include "core/user_rules.hpp"

namespace vardex::engine {

EnginePolicy makeEnginePolicy(const std::string& home, const UserPolicyFile& user, const std::string& source) {
    EnginePolicy policy;
    policy.home = home;
    if (user.askTimeoutSeconds) {
        policy.askTimeoutSeconds = static_cast<int>(std::min<std::uint64_t>(*user.askTimeoutSeconds, 24 * 3600));
    }
    if (user.askThreshold) policy.askThreshold = std::clamp(*user.askThreshold, 0.0, 1.0);

    auto all = builtinRules(home, selfPaths(home));
    auto own = userRules(user, home, source);
    std::move(own.begin(), own.end(), std::back_inserter(all));

    for (const auto& id : user.disable) {
        const auto found = std::find_if(all.begin(), all.end(), [&](const Rule& r) { return r.id == id; });
        if (found == all.end()) continue;
        // Critical built-ins protect the user from the worst mistakes; only an explicit
        // override switches them off.
        if (found->severity == Severity::critical && found->layer == "embedded" && !user.allowOverrideCritical) continue;
        if (std::any_of(policy.disabled.begin(), policy.disabled.end(), [&](const auto& d) { return d.id == id; })) {
            continue;
        }
        policy.disabled.push_back({id, "user", source});
    }
    for (auto& rule : all) {
        const bool off = std::any_of(policy.disabled.begin(), policy.disabled.end(),
                                     [&](const DisabledRule& d) { return d.id == rule.id; });
        if (!off) policy.rules.push_back(std::move(rule));
    }
    return policy;
}

Result<EnginePolicy, std::string> loadEnginePolicy() {
    const auto home = absolutePath(VardexPaths::homeDirectory().string(), "", "/");
    const auto file = VardexPaths::userPolicyURL();
    UserPolicyFile user;
    std::error_code missing;
    if (std::filesystem::exists(file, missing)) {
        std::ifstream in(file, std::ios::binary);
        const std::string text = in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
        if (!in.is_open() || in.bad()) return fail("Could not read the policy file " + file.string() + ".");
        auto checked = validateUserPolicy(text, file.string());
        if (!checked) return fail(checked.error());
        user = std::move(checked).value();
    }
    auto policy = makeEnginePolicy(home, user, file.string());
    policy.stopFlag = AgentStop::flagURL();
    return policy;
}

}  // namespace vardex::engine
