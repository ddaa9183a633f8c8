#pragma once

#include <cstddef>
#include <vector>

#include "core/engine_policy.hpp"
#include "protocol/action.hpp"
#include "protocol/approval.hpp"
#include "protocol/decision.hpp"

namespace vardex::engine {

// A breakdown is sent with every question, so it is bounded whatever the line: a person reads a
// couple of dozen commands at most, and one command's text is cut well before it fills a panel.
inline constexpr std::size_t breakdownPartsCap = 24;
inline constexpr std::size_t breakdownTextCap = 400;
inline constexpr std::size_t breakdownNotesCap = 4;

// A shell line split into the commands the engine read (command substitutions before the command
// that uses them, as they run), each with what the engine understood it to do, and those that made
// `decision`'s rule match marked. A part is marked when the rule matches it alone, or else when
// the rule matches its pipeline (a download piped into a shell); when the rule only matches the
// line as a whole (its disguise, say) nothing is marked. Empty for actions that are not shell lines.
std::vector<CommandPart> commandBreakdown(const Action& action, const EnginePolicy& policy, const Decision& decision);

}  // namespace vardex::engine
