#include <charconv>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "activity/audit_log_entry.hpp"
#include "bridge/vardex_paths.hpp"
#include "cli/commands.hpp"
#include "core/audit_log.hpp"
#include "core/engine_policy.hpp"
#include "core/policy_replay.hpp"
#include "core/policy_validation.hpp"
#include "protocol/protocol_json.hpp"

namespace vardex::engine {
namespace {

struct ReplayOptions {
    std::string policy;
    std::string since = "7d";
    bool json = false;
};

// "7d", "12h": how far back to look.
std::optional<std::chrono::seconds> period(std::string_view text) {
    if (text.size() < 2) return std::nullopt;
    const char unit = text.back();
    long long count = 0;
    const auto digits = text.substr(0, text.size() - 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
    if (error != std::errc() || end != digits.data() + digits.size() || count <= 0 || count > 3660) return std::nullopt;
    if (unit == 'd') return std::chrono::hours(24 * count);
    if (unit == 'h') return std::chrono::hours(count);
    return std::nullopt;
}

nlohmann::json differenceJson(const ReplayDifference& difference) {
    const auto rule = [](const Decision& decision) { return decision.ruleId ? nlohmann::json(*decision.ruleId) : nlohmann::json(); };
    return {{"ts", difference.entry.ts},
            {"agent", difference.entry.agent},
            {"action", difference.entry.action},
            {"summary", AuditLogEntry::summarizeJSON(&difference.entry.action)},
            {"logged", std::string(wireText(difference.entry.logged))},
            {"before", std::string(wireText(difference.before.outcome))},
            {"before_rule", rule(difference.before)},
            {"after", std::string(wireText(difference.after.outcome))},
            {"after_rule", rule(difference.after)}};
}

int runReplay(const ReplayOptions& options) {
    const auto back = period(options.since);
    if (!back) {
        std::cerr << "\"" << options.since << "\" is not a period: write it as days or hours, like 7d or 12h.\n";
        return 2;
    }
    std::ifstream file(options.policy, std::ios::binary);
    if (!file) {
        std::cerr << "Could not read " << options.policy << ".\n";
        return 1;
    }
    std::ostringstream text;
    text << file.rdbuf();
    const auto user = validateUserPolicy(text.str(), options.policy);
    if (!user) {
        std::cerr << user.error() << "\n";
        return 1;
    }
    const auto inForce = loadEnginePolicy();
    if (!inForce) {
        std::cerr << inForce.error() << "\n";
        return 1;
    }
    const auto candidate = makeEnginePolicy(inForce->home, *user, options.policy);

    std::ifstream log(VardexPaths::auditLogURL(), std::ios::binary);
    const auto since = logTimestamp(std::chrono::system_clock::now() - *back);
    const auto report = replayActions(readLoggedActions(log, since), *inForce, candidate);

    if (options.json) {
        nlohmann::json out{{"since", since}, {"checked", report.checked}, {"unreadable", report.unreadable},
                           {"more_differences", report.moreDifferences}, {"differences", nlohmann::json::array()}};
        for (const auto& difference : report.differences) out["differences"].push_back(differenceJson(difference));
        std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return 0;
    }
    const auto total = report.differences.size() + report.moreDifferences;
    if (total == 0) {
        std::cout << "Over " << report.checked << (report.checked == 1 ? " action" : " actions") << " since " << since
                  << ", this policy decides nothing differently.\n";
        return 0;
    }
    std::cout << "Over " << report.checked << (report.checked == 1 ? " action" : " actions") << " since " << since
              << ", this policy decides " << total << " differently:\n";
    for (const auto& difference : report.differences) {
        std::cout << "  " << difference.entry.ts << "  " << wireText(difference.before.outcome) << " -> "
                  << wireText(difference.after.outcome) << "  " << AuditLogEntry::summarizeJSON(&difference.entry.action) << "\n";
    }
    if (report.moreDifferences > 0) std::cout << "  and " << report.moreDifferences << " more.\n";
    return 0;
}

}  // namespace

void addReplayCommand(CLI::App& app, CommandContext& context) {
    auto options = std::make_shared<ReplayOptions>();
    auto* replay = app.add_subcommand("replay", "Show what a policy file would have decided differently over the activity log");
    replay->add_option("--policy", options->policy, "The policy file to try")->required();
    replay->add_option("--since", options->since, "How far back: days or hours, like 7d or 12h (default 7d)");
    replay->add_flag("--json", options->json, "Print the differences as JSON");
    replay->callback([options, &context] { context.exitCode = runReplay(*options); });
}

}  // namespace vardex::engine
