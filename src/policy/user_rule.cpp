#include "policy/user_rule.hpp"

namespace vardex {

UserRule UserRule::folder(std::string id, std::string_view path) {
    if (!path.empty() && path.back() == '/') path.remove_suffix(1);
    std::string shortened(path);
    UserRule rule;
    rule.id = std::move(id);
    rule.description = "Protected folder " + shortened;
    rule.severity = "critical";
    rule.decision = "deny";
    rule.matchKind = MatchKind::paths;
    rule.values = {shortened, shortened + "/**"};
    return rule;
}

UserRule UserRule::site(std::string id, std::string domain) {
    UserRule rule;
    rule.id = std::move(id);
    rule.description = "Protected site " + domain;
    rule.severity = "critical";
    rule.decision = "deny";
    rule.matchKind = MatchKind::site;
    rule.values = {std::move(domain)};
    return rule;
}

UserRule UserRule::custom(std::string id, std::string description, std::string severity,
                          std::string decision, MatchKind matchKind, std::string value) {
    UserRule rule;
    rule.id = std::move(id);
    if (!description.empty()) rule.description = std::move(description);
    rule.severity = std::move(severity);
    rule.decision = std::move(decision);
    rule.matchKind = matchKind;
    rule.values = {std::move(value)};
    return rule;
}

std::string UserRule::displayName() const {
    if (description && !description->empty()) return *description;
    if (!values.empty()) return values.front();
    return id;
}

}  // namespace vardex
