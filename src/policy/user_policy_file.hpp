#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.hpp"
#include "policy/policy_file_error.hpp"
#include "policy/user_rule.hpp"

namespace vardex {

// What the user adds on top of the engine's built-in rules. The app is the file's only writer
// and always rewrites it whole; the reader takes back exactly the subset of YAML written here
// and is deliberately not a YAML parser.
struct UserPolicyFile {
    static const UserPolicyFile empty;

    std::uint32_t version = 1;
    bool allowOverrideCritical = false;
    std::optional<std::uint64_t> askTimeoutSeconds;
    std::optional<double> askThreshold;
    std::vector<std::string> disable;
    std::vector<UserRule> rules;

    // The rules split by id prefix, each in file order.
    std::vector<UserRule> folders() const;
    std::vector<UserRule> sites() const;
    std::vector<UserRule> custom() const;

    // The file text, "\n" line ends, one final line feed.
    std::string yaml() const;
    // Never fails: unrecognised lines are skipped, unreadable numbers read as absent.
    static UserPolicyFile parse(std::string_view text);

    static Result<UserPolicyFile, PolicyFileError> load(const std::filesystem::path& location);
    // `empty` when the file is missing, unreadable or not UTF-8.
    static UserPolicyFile loadFromHome();
    // Creates the configuration folder when needed and replaces the file atomically.
    Result<void, PolicyFileError> writeToHome() const;

    // Protects a folder (made absolute against the working directory) as a critical deny rule;
    // adding the same folder again within one run replaces its rule.
    void addFolder(std::string_view path);
    // Protects a site by its bare domain; does nothing when no domain is left.
    void addSite(std::string_view domain);
    void removeRule(std::string_view id);
    void setDisabled(std::string_view id, bool disabled);

    friend bool operator==(const UserPolicyFile&, const UserPolicyFile&) = default;
};

inline const UserPolicyFile UserPolicyFile::empty{};

}  // namespace vardex
