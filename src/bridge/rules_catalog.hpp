#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/cli_result.hpp"
#include "bridge/vardex_cli.hpp"
#include "common/result.hpp"

namespace vardex {

// One rule of the engine's listing; `id` is its identity.
struct CatalogRule {
    std::string id;
    std::string description;
    std::string severity = "medium";
    std::string decision = "deny";
    std::string layer = "embedded";
    std::string source;
    // Set by the list the rule came from, never read from the rule itself.
    bool disabled = false;

    bool isCritical() const { return severity == "critical"; }
    // The user's own rules are edited in the policy, not switched off; critical rules stay on.
    bool canDisable() const { return layer != "user" && !isCritical(); }
    std::string layerLabel() const;

    friend bool operator==(const CatalogRule&, const CatalogRule&) = default;
};

// The engine's asking defaults.
struct CatalogDefaults {
    std::uint64_t askTimeoutSeconds = 30;
    double askThreshold = 0.7;
    std::string unmatched = "allow";
    std::string onTimeout = "deny";
    std::string onNoUI = "deny";

    friend bool operator==(const CatalogDefaults&, const CatalogDefaults&) = default;
};

// The rules the engine enforces, from "rules list --json". A default-constructed catalogue is
// the one shown before the first listing arrives.
struct RulesCatalog {
    CatalogDefaults defaults;
    std::vector<CatalogRule> rules;
    std::vector<CatalogRule> disabled;

    RulesCatalog() = default;
    // Reads a decoded listing; members of the wrong type take their defaults, and anything
    // but an object gives the default catalogue.
    explicit RulesCatalog(const nlohmann::json& object);

    // Runs the listing. Output that is not a JSON object still gives the default catalogue
    // when the engine succeeded; when it failed, its own words (or "Could not list rules.")
    // become a spawn failure.
    static Result<RulesCatalog, CliError> load(std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

    friend bool operator==(const RulesCatalog&, const RulesCatalog&) = default;
};

// A number however the engine chose to write it: a number, a decimal text, or an object
// carrying it as "value" (else "risk_score").
std::optional<double> numericReading(const nlohmann::json* value);
// A whole count: an unsigned or non-negative integer, a finite float below 2^64 with its
// fraction dropped, or a decimal text (with an optional "+") that fits in 64 bits.
std::optional<std::uint64_t> unsignedReading(const nlohmann::json* value);

}  // namespace vardex
