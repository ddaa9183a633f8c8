#include "policy/user_policy_file.hpp"

#include <algorithm>
#include <system_error>

#include "policy/rule_ids.hpp"
#include "policy/text_file.hpp"
#include "text/unicode_text.hpp"

namespace vardex {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<UserRule> rulesWhere(const std::vector<UserRule>& rules, auto keep) {
    std::vector<UserRule> out;
    std::copy_if(rules.begin(), rules.end(), std::back_inserter(out), keep);
    return out;
}

// Absolute, without "." and ".." components and without a trailing slash; "~" stays literal.
std::string absoluteFolder(std::string_view path) {
    std::string full;
    if (!startsWith(path, "/")) {
        std::error_code error;
        const std::filesystem::path cwd = std::filesystem::current_path(error);
        full = error ? std::string("/") : cwd.string();
        full.push_back('/');
    }
    full.append(path);

    std::vector<std::string_view> components;
    std::string_view rest = full;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        components.push_back(component);
    }
    if (components.empty()) return "/";
    std::string out;
    for (std::string_view component : components) {
        out.push_back('/');
        out.append(component);
    }
    return out;
}

}  // namespace

std::vector<UserRule> UserPolicyFile::folders() const {
    return rulesWhere(rules, [](const UserRule& rule) { return startsWith(rule.id, UserRule::folderPrefix); });
}

std::vector<UserRule> UserPolicyFile::sites() const {
    return rulesWhere(rules, [](const UserRule& rule) { return startsWith(rule.id, UserRule::sitePrefix); });
}

std::vector<UserRule> UserPolicyFile::custom() const {
    return rulesWhere(rules, [](const UserRule& rule) {
        return !startsWith(rule.id, UserRule::folderPrefix) && !startsWith(rule.id, UserRule::sitePrefix);
    });
}

Result<UserPolicyFile, PolicyFileError> UserPolicyFile::load(const std::filesystem::path& location) {
    auto text = readTextFile(location);
    if (!text) return fail(text.error());
    return parse(*text);
}

void UserPolicyFile::addFolder(std::string_view path) {
    const std::string_view trimmed = unicode::trimmed(path);
    if (trimmed.empty()) return;
    const std::string folder = absoluteFolder(trimmed);
    std::string id = std::string(UserRule::folderPrefix) + slug(folder);
    removeRule(id);
    rules.push_back(UserRule::folder(std::move(id), folder));
}

void UserPolicyFile::addSite(std::string_view domain) {
    std::string bare = normalisedDomain(domain);
    if (bare.empty()) return;
    std::string id = std::string(UserRule::sitePrefix) + bare;
    removeRule(id);
    rules.push_back(UserRule::site(std::move(id), std::move(bare)));
}

void UserPolicyFile::removeRule(std::string_view id) {
    std::erase_if(rules, [&](const UserRule& rule) { return rule.id == id; });
}

void UserPolicyFile::setDisabled(std::string_view id, bool disabled) {
    if (!disabled) {
        std::erase(disable, id);
    } else if (std::find(disable.begin(), disable.end(), id) == disable.end()) {
        disable.emplace_back(id);
    }
}

}  // namespace vardex
