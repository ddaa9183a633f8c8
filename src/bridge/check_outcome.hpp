#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/vardex_cli.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"
#include "protocol/wire_enum.hpp"

namespace vardex {

// What the check page can try, in the order of its choice.
enum class CheckKind { shell, read, mcp };

template <>
struct WireNames<CheckKind> {
    static constexpr std::array<std::pair<CheckKind, std::string_view>, 3> table{{
        {CheckKind::shell, "shell"}, {CheckKind::read, "read"}, {CheckKind::mcp, "mcp"}}};
};

std::string_view title(CheckKind kind);

// The result of one trial check: a decision, a message, or both.
struct CheckOutcome {
    std::optional<Decision> decision;
    // 0 when the engine did not run.
    std::int32_t exitCode = 0;
    std::optional<std::string> error;
    // The shell line split into its commands, when the engine sent it.
    std::vector<CommandPart> breakdown;

    // Checks the inputs the kind uses (trimmed), runs "check --json" with them and reads the
    // decision whatever the exit status. Never fails: every problem becomes `error`.
    static CheckOutcome run(CheckKind kind, std::string_view shell, std::string_view read, std::string_view server,
                            std::string_view tool, std::string_view json,
                            std::chrono::milliseconds timeLimit = VardexCli::defaultTimeLimit);

    friend bool operator==(const CheckOutcome&, const CheckOutcome&) = default;
};

}  // namespace vardex
