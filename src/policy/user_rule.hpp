#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/wire_enum.hpp"

namespace vardex {

// One rule of the user's own policy file. Its id is its identity: folder and site rules carry
// the fixed prefixes below, custom rules a name the user gives.
struct UserRule {
    // Which match block the rule is written with.
    enum class MatchKind { paths, program, raw, site };

    static constexpr std::string_view folderPrefix = "user.protected.folder.";
    static constexpr std::string_view sitePrefix = "user.protected.site.";

    std::string id;
    std::optional<std::string> description;
    std::string severity;
    std::string decision;
    MatchKind matchKind = MatchKind::paths;
    std::vector<std::string> values;

    // A critical deny rule over the folder and everything below it. One trailing "/" is dropped.
    static UserRule folder(std::string id, std::string_view path);
    // A critical deny rule for the bare domain; its match block is fixed (see the file text).
    static UserRule site(std::string id, std::string domain);
    // An empty description means none.
    static UserRule custom(std::string id, std::string description, std::string severity,
                           std::string decision, MatchKind matchKind, std::string value);

    // The description when there is one, else the first value, else the id.
    std::string displayName() const;

    friend bool operator==(const UserRule&, const UserRule&) = default;
};

template <>
struct WireNames<UserRule::MatchKind> {
    static constexpr std::array<std::pair<UserRule::MatchKind, std::string_view>, 4> table{{
        {UserRule::MatchKind::paths, "paths"},
        {UserRule::MatchKind::program, "program"},
        {UserRule::MatchKind::raw, "raw"},
        {UserRule::MatchKind::site, "site"},
    }};
};

}  // namespace vardex
