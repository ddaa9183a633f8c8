#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/vardex_cli.hpp"
#include "common/result.hpp"
#include "protocol/decoding_error.hpp"

namespace vardex {

// A coding agent the engine can protect, with the identifiers it is recognised by.
struct ProtectAppRow {
    std::string id;
    std::string displayName;
    std::vector<std::string> bundleIds;
    std::vector<std::string> cliNames;
    // Path fragments that give the agent away when it runs as a script under an interpreter.
    std::vector<std::string> scriptMarkers;
    bool protect = true;
    std::optional<std::string> teamId;

    // The twenty agents known without asking the engine.
    static const std::vector<ProtectAppRow>& catalog();

    // The first catalogue row that identifies a running program: by bundle identifier, by the
    // last component of `path` as a command name, or by a script marker in one of `argv`
    // (backslashes read as "/").
    static std::optional<ProtectAppRow> match(std::string_view path, const std::optional<std::string>& bundleId,
                                              const std::vector<std::string>& argv);

    friend bool operator==(const ProtectAppRow&, const ProtectAppRow&) = default;
};

// The strict JSON form: every key but "team_id" required, of its exact type. A list with one
// bad row is refused whole.
namespace protect_app_json {

nlohmann::json toJson(const ProtectAppRow& row);
Result<ProtectAppRow, DecodingError> fromJson(const nlohmann::json& j);
Result<std::vector<ProtectAppRow>, DecodingError> listFromJson(const nlohmann::json& j);

}  // namespace protect_app_json

namespace ProtectApps {

// The rows the engine lists ("protect list --json", read from its combined output). The
// built-in catalogue stands in when there is no engine, it cannot be run, or what it prints is
// not a non-empty list of rows.
std::vector<ProtectAppRow> load(std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

}  // namespace ProtectApps

}  // namespace vardex
