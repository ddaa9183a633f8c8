#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/vardex_cli.hpp"
#include "common/result.hpp"
#include "protocol/decision.hpp"

namespace vardex {

// What a candidate policy would have decided differently over the recent activity log, as the
// engine's "replay --json" reports it.
struct PolicyReplay {
    // One logged action the two policies decide differently.
    struct Difference {
        std::string ts;
        std::string agent;
        std::string summary;
        Outcome before = Outcome::ask;
        std::optional<std::string> beforeRule;
        Outcome after = Outcome::ask;
        std::optional<std::string> afterRule;

        friend bool operator==(const Difference&, const Difference&) = default;
    };

    // Actions that go from one outcome to another, with the first few of their summaries.
    struct Shift {
        Outcome before = Outcome::ask;
        Outcome after = Outcome::ask;
        std::size_t count = 0;
        std::vector<std::string> examples;

        friend bool operator==(const Shift&, const Shift&) = default;
    };

    std::string since;
    std::size_t checked = 0;
    std::size_t unreadable = 0;
    std::vector<Difference> differences;
    // Differences the engine found beyond those it listed.
    std::size_t moreDifferences = 0;

    bool changesNothing() const { return differences.empty() && moreDifferences == 0; }
    // The listed differences grouped by their outcomes, largest group first (ties in the order
    // they first appear), each with at most `examples` distinct summaries.
    std::vector<Shift> shifts(std::size_t examples = 3) const;

    // Reads whatever the engine printed. Only output that is not a JSON object fails; a member
    // missing or of the wrong type takes its default, and a difference whose outcomes cannot be
    // read (or that are the same) is left out.
    static std::optional<PolicyReplay> parse(std::string_view bytes);

    // Writes `policyText` to a private temporary file, runs "replay --policy FILE --since 7d
    // --json" on it and removes the file. The error is the sentence to show.
    static Result<PolicyReplay, std::string> run(std::string_view policyText,
                                                 std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

    friend bool operator==(const PolicyReplay&, const PolicyReplay&) = default;
};

}  // namespace vardex
