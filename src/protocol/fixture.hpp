#pragma once

#include <optional>
#include <string_view>

#include "common/result.hpp"
#include "protocol/wire_enum.hpp"
#include "protocol/wire_error.hpp"

namespace vardex {

// The kinds of protocol sample file, told apart by their name's prefix.
enum class FixtureKind { action, decision, approvalRequest, approvalResponse, ipc };

template <>
struct WireNames<FixtureKind> {
    static constexpr std::array<std::pair<FixtureKind, std::string_view>, 5> table{{
        {FixtureKind::action, "action"},
        {FixtureKind::decision, "decision"},
        {FixtureKind::approvalRequest, "approvalRequest"},
        {FixtureKind::approvalResponse, "approvalResponse"},
        {FixtureKind::ipc, "ipc"},
    }};
};

std::optional<FixtureKind> fixtureKind(std::string_view fileName);

// Checks that a sample file decodes as the type its name promises; the value is dropped.
Result<void, WireError> decodeFixture(std::string_view fileName, std::string_view data);

}  // namespace vardex
