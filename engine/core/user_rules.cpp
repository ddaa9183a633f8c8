#include "core/user_rules.hpp"

#include <algorithm>

#include "core/action_facts.hpp"
#include "core/path_match.hpp"

namespace vardex::engine {
namespace {

bool hasGlob(std::string_view text) { return text.find_first_of("*?") != std::string_view::npos; }

bool pathsMatch(const ActionFacts& facts, const std::vector<std::string>& patterns) {
    return std::any_of(facts.paths.begin(), facts.paths.end(), [&](const PathUse& use) {
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](const std::string& pattern) { return globMatch(pattern, use.path, true); });
    });
}

// A guarded folder that holds the agent's working folder (the home folder, which onboarding
// guards, holds every project) still lets the agent work on its project: the guard keeps it
// out of everything else in the folder, not out of the work it was started in.
bool folderGuardMatches(const ActionFacts& facts, const std::string& folder, const std::vector<std::string>& patterns) {
    const bool worksInside = !facts.cwd.empty() && isUnder(facts.cwd, folder);
    return std::any_of(facts.paths.begin(), facts.paths.end(), [&](const PathUse& use) {
        if (worksInside && isUnder(use.path, facts.cwd)) return false;
        return std::any_of(patterns.begin(), patterns.end(),
                           [&](const std::string& pattern) { return globMatch(pattern, use.path, true); });
    });
}

bool programMatches(const ActionFacts& facts, const std::vector<std::string>& programs) {
    for (const auto* command : facts.commands()) {
        for (const auto& program : programs) {
            if (globMatch(program, command->program, false) || (program.find('/') != std::string::npos &&
                                                                  globMatch(program, command->program, true))) {
                return true;
            }
        }
    }
    return false;
}

// A raw pattern without wildcards matches anywhere in the text; with them, the whole text.
bool rawMatches(const std::string& raw, const std::vector<std::string>& patterns) {
    const auto lower = asciiLower(raw);
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& pattern) {
        const auto p = asciiLower(pattern);
        return hasGlob(p) ? globMatch(p, lower, false) : lower.find(p) != std::string::npos;
    });
}

bool namesDomain(std::string_view host, const std::string& domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
           host[host.size() - domain.size() - 1] == '.';
}

bool siteMatches(const ActionFacts& facts, const std::string& domain) {
    if (domain.empty()) return false;
    if (std::any_of(facts.hosts.begin(), facts.hosts.end(), [&](const std::string& h) { return namesDomain(h, domain); })) {
        return true;
    }
    // Commands and tool calls that merely mention the domain count as well.
    return (facts.kind == "shell" || facts.kind == "mcp_tool_call") &&
           asciiLower(facts.raw).find(domain) != std::string::npos;
}

Severity severityFrom(const std::string& text) {
    return parseWireText<Severity>(asciiLower(text)).value_or(Severity::medium);
}

Outcome decisionFrom(const std::string& text) {
    return parseWireText<Outcome>(asciiLower(text)).value_or(Outcome::deny);
}

}  // namespace

std::vector<Rule> userRules(const UserPolicyFile& policy, const std::string& home, const std::string& source) {
    std::vector<Rule> rules;
    for (const auto& userRule : policy.rules) {
        Rule rule;
        rule.id = userRule.id;
        rule.description = userRule.displayName();
        rule.severity = severityFrom(userRule.severity);
        rule.decision = decisionFrom(userRule.decision);
        rule.layer = "user";
        rule.source = source;
        rule.reasonUser = "This matches your own rule: " + userRule.displayName() + ".";
        rule.reasonAgent = "The user's policy does not allow this (" + userRule.id + "). Do not retry it another way.";
        switch (userRule.matchKind) {
            case UserRule::MatchKind::paths: {
                std::vector<std::string> patterns;
                for (const auto& value : userRule.values) {
                    if (!value.empty()) patterns.push_back(absolutePath(value, home, "/"));
                }
                if (userRule.id.starts_with(UserRule::folderPrefix) && !patterns.empty()) {
                    rule.matches = [patterns, folder = patterns.front()](const ActionFacts& f) {
                        return folderGuardMatches(f, folder, patterns);
                    };
                } else {
                    rule.matches = [patterns](const ActionFacts& f) { return pathsMatch(f, patterns); };
                }
                break;
            }
            case UserRule::MatchKind::program:
                rule.matches = [programs = userRule.values](const ActionFacts& f) { return programMatches(f, programs); };
                break;
            case UserRule::MatchKind::raw:
                rule.matches = [patterns = userRule.values](const ActionFacts& f) { return rawMatches(f.raw, patterns); };
                break;
            case UserRule::MatchKind::site: {
                const auto domain = userRule.values.empty() ? std::string() : asciiLower(userRule.values.front());
                rule.matches = [domain](const ActionFacts& f) { return siteMatches(f, domain); };
                break;
            }
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

}  // namespace vardex::engine
